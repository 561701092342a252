"""References and memory over many rounds: rule applications, embedding reads and writes, failed
calls and whole models made and dropped leave no reference and no memory behind."""
import ctypes
import gc
import sys
import tracemalloc

import pytest

import gorvinpy_bin as gorvin
from engine_rules import make_rule, square_grid, triangulation

ROUNDS = 200


def allocated_bytes():
    """Bytes the C heap has handed out (kernel tables included), or None where that is unknown."""

    class MallInfo2(ctypes.Structure):
        _fields_ = [(name, ctypes.c_size_t) for name in
                    ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
                     "keepcost")]

    try:
        mallinfo2 = ctypes.CDLL(None).mallinfo2
    except AttributeError:
        return None
    mallinfo2.restype = MallInfo2
    info = mallinfo2()
    return info.uordblks + info.hblkhd or None  # the sanitizer's allocator reports nothing


def growth(work, rounds=ROUNDS):
    """(Python bytes, C heap bytes) still held after the second half of the rounds."""
    for _ in range(rounds // 2):
        work()
    gc.collect()
    tracemalloc.start()
    before, heap = tracemalloc.get_traced_memory()[0], allocated_bytes()
    for _ in range(rounds // 2):
        work()
    gc.collect()
    after, heap_after = tracemalloc.get_traced_memory()[0], allocated_bytes()
    tracemalloc.stop()
    return after - before, None if heap is None else heap_after - heap


def whole_model():
    gmap = gorvin.Modeler3D().make_gmap()
    square_grid(gmap, 3)
    gmap.apply(triangulation([gorvin.Expr3DEbd01("n", lambda ctx: [ctx.rightdart.id])]), [0])
    gmap.extractGeometryCompacted3D()
    gorvin.Islet([1, 2])(gmap)
    list(gmap)


def failed_calls():
    gmap = gorvin.Modeler3D().make_gmap()
    square_grid(gmap, 2)
    for call in (lambda: gmap.apply(triangulation([gorvin.Expr3DEbd01("n", lambda ctx: 1 // 0)]), [0]),
                 lambda: gmap.apply(make_rule(left=[("a", [0], True)], right=[("a", [0])]), [0, 1]),
                 lambda: gmap.get(10**6), lambda: gmap.e(0, gorvin.Orbit([7])), lambda: gmap.apply(None),
                 lambda: gmap[0].dart().a(0).a(0).a(1 << 20)):
        try:
            call()
        except (RuntimeError, TypeError, ZeroDivisionError):
            pass


@pytest.mark.parametrize("work", [whole_model, failed_calls])
def test_models_made_and_dropped_leave_no_memory(work):
    python, heap = growth(work)
    assert python < 64 * 1024, python
    assert heap is None or heap < 256 * 1024, heap


def test_applications_hold_each_value_once_and_release_it(gmap):
    square_grid(gmap, 2)
    token = object()
    fn = lambda ctx: token  # noqa: E731
    rule = make_rule(left=[("a", [0, 1, 2], True)], right=[("a", [0, 1, 2], [gorvin.Expr3DEbd01("t", fn)])])
    counts = sys.getrefcount(token), sys.getrefcount(fn), sys.getrefcount(rule), sys.getrefcount(gmap)
    for _ in range(ROUNDS):
        gmap.apply(rule, [0])  # replaces each dart's value: one reference per dart at any time
    assert sys.getrefcount(token) == counts[0] + len(gmap)
    gmap.clear()
    assert (sys.getrefcount(token), sys.getrefcount(fn), sys.getrefcount(rule), sys.getrefcount(gmap)) == counts


def test_failed_applications_release_what_they_computed(gmap):
    square_grid(gmap, 2)
    token, calls = object(), []

    def fail_late(ctx):
        calls.append(None)
        if len(calls) % 20 == 0:
            raise KeyError("late")
        return token

    rule = triangulation([gorvin.Expr3DEbd01("t", fail_late)])
    baseline = sys.getrefcount(token)
    for _ in range(ROUNDS // 10):
        with pytest.raises(KeyError):
            gmap.apply(rule, [0])
    assert sys.getrefcount(token) == baseline and len(gmap) == 32


def test_embedding_reads_and_writes_hold_no_extra_reference(gmap):
    darts = gmap.make_darts(4)
    value, ebd = object(), gorvin.Ebd("v", [0, 1])
    stored = gmap.ebd01(0)
    counts = sys.getrefcount(value), sys.getrefcount(stored), sys.getrefcount(ebd)
    for _ in range(ROUNDS):
        darts[0].set(ebd, value)
        assert darts[0].get(ebd) is value and gmap.e(0, ebd) is value
        assert darts[0].ebd01 is stored and gmap.ebd01(0) is stored and darts[0].dart().ebd01 is stored
        assert gmap.e(0, gorvin.Orbit([1, 0])) is stored
    assert (sys.getrefcount(value), sys.getrefcount(stored), sys.getrefcount(ebd)) == (
        counts[0] + 1, counts[1], counts[2])
    gmap.clear()
    assert sys.getrefcount(value) == counts[0] + 1  # the dict still holds it
    assert sys.getrefcount(stored) == counts[1] - 1


def test_expressions_and_contexts_are_released(modeler, gmap):
    square_grid(gmap, 2)
    kept = []
    fn = lambda ctx: kept.append(ctx.modeler) or 0  # noqa: E731
    rule = make_rule(left=[("a", [0, 1, 2], True)], right=[("a", [0, 1, 2], [gorvin.Expr3DEbdDart("x", fn)])])
    copies = [gorvin.Rule3D(rule) for _ in range(10)]
    del copies
    counts = sys.getrefcount(modeler), sys.getrefcount(fn)
    for _ in range(ROUNDS // 10):
        gmap.apply(rule, [0])
    assert sys.getrefcount(modeler) == counts[0] + len(kept)
    kept.clear()
    assert (sys.getrefcount(modeler), sys.getrefcount(fn)) == counts
