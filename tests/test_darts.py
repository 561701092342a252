import gc
import operator

import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED, dart_table, kernel_error, square_face

COMPARISONS = [operator.eq, operator.ne, operator.lt, operator.le, operator.gt, operator.ge]


@pytest.fixture
def face(gmap):
    square_face(gmap)
    return gmap


# --- RawDart3D ---------------------------------------------------------------------------------

def test_raw_dart_reads_its_slot(face):
    raw = face.get(3).dart()
    assert isinstance(raw, gorvin.RawDart3D)
    assert (raw.id, int(raw), str(raw), repr(raw)) == (3, 3, "Dart<3>", "Dart<3>")
    assert [raw(d) for d in range(4)] == [raw[d] for d in range(4)] == [raw.alpha(d) for d in range(4)] == [2, 4, 3, 3]
    assert raw.exists() and [raw.isFree(d) for d in range(5)] == [False, False, True, True, True]


@pytest.mark.parametrize("compare", COMPARISONS, ids=lambda op: op.__name__)
@pytest.mark.parametrize("left, right", [(2, 2), (2, 5), (5, 2)])
def test_raw_dart_comparisons_use_ids(face, compare, left, right):
    a, b = face.get(left).dart(), face.get(right).dart()
    assert compare(a, b) == compare(left, right)
    assert compare(a, right) == compare(left, right)


@pytest.mark.parametrize("compare", COMPARISONS, ids=lambda op: op.__name__)
def test_raw_dart_comparisons_are_unsigned(face, compare):
    deleted = face.get(1).dart()
    deleted.delete()
    assert compare(deleted, face.get(7).dart()) == compare(DELETED, 7)
    assert compare(deleted, DELETED) == compare(DELETED, DELETED)


def test_raw_dart_delete_makes_loops_and_leaves_neighbours(face):
    raw = face.get(2).dart()
    raw.delete()
    assert str(raw) == "Dart<4294967295>" and raw.id == DELETED and not raw.exists()
    assert all(raw.isFree(d) and raw[d] == DELETED for d in range(4))
    assert not face.exists(2) and face.get(3).dart()[0] == 2 and face.get(1).dart()[1] == 2


def test_setitem_is_one_sided_and_returns_a_detached_copy(face):
    raw = face.get(0).dart()
    copy = raw.__setitem__(2, 5)
    assert raw[2] == 5 and face.get(5).isFree(2)  # dart 5 is not told
    assert isinstance(copy, gorvin.RawDart3D) and copy is not raw
    assert (copy.id, copy[2]) == (0, 5)
    raw[2] = 6
    assert copy[2] == 5  # the copy does not follow the slot
    assert raw.__setitem__(9, 1)[2] == 6 and raw[2] == 6


def test_a_refers_to_the_neighbour_slot(face):
    raw = face.get(0).dart()
    neighbour = raw.a(1)
    assert isinstance(neighbour, gorvin.RawDart3D) and neighbour.id == 7
    face.linkAlpha(2, 7, 3)
    assert neighbour[2] == 3  # a reference, not a copy
    assert raw.a(4) is raw and raw.a(DELETED) is raw


def test_a_of_a_missing_neighbour_raises(face):
    raw = face.get(0).dart()
    raw[0] = 8
    with kernel_error():
        raw.a(0)
    raw.delete()
    with kernel_error():
        raw.a(3)


def test_set_links_and_returns_its_argument(face):
    a, b = face.get(0).dart(), face.get(5).dart()
    assert a.set(2, b) is b
    assert (a[2], b[2]) == (5, 0)
    assert a.set(0, b) is b  # frees 1 and 4
    assert face.get(1).isFree(0) and face.get(4).isFree(0)
    assert a.set(6, b) is b and a[0] == 5


def test_set_with_the_same_dart_makes_a_loop(face):
    raw = face.get(0).dart()
    assert raw.set(1, face.get(0).dart()) == 0
    assert raw.isFree(1) and face.get(7).isFree(1)


def test_set_works_in_the_table_of_its_argument(modeler, face):
    other = modeler.make_gmap()
    other.make_darts(3)
    result = face.get(1).dart().set(3, other.get(2).dart())
    assert (other.a(1, 3).id, other.a(2, 3).id) == (2, 1) and result.id == 2
    assert face.get(1).isFree(3) and face.get(2).isFree(3)
    with kernel_error():
        face.get(7).dart().set(0, other.get(0).dart())  # 7 names no dart of the other G-map
    assert other.get(0).isFree(0)


def test_raw_dart_follows_its_slot_across_growth(face):
    raw = face.get(6).dart()
    face.make_darts(10_000)
    face.linkAlpha(2, 6, 9000)
    assert raw[2] == 9000 and raw.a(2).id == 9000


RAW_DART_USES = {
    "id": lambda r: r.id,
    "int": lambda r: int(r),
    "str": lambda r: str(r),
    "call": lambda r: r(0),
    "getitem": lambda r: r[1],
    "alpha": lambda r: r.alpha(2),
    "isFree": lambda r: r.isFree(0),
    "exists": lambda r: r.exists(),
    "delete": lambda r: r.delete(),
    "eq": lambda r: r == 6,
    "lt": lambda r: r < r,
    "a": lambda r: r.a(0),
    "setitem": lambda r: r.__setitem__(0, 1),
    "set-self": lambda r: r.set(0, r),
}


@pytest.mark.parametrize("use", RAW_DART_USES)
@pytest.mark.parametrize("shrink", [lambda g: g.resize(6), lambda g: g.clear(), lambda g: g.resize(0)],
                         ids=["resize", "clear", "resize-0"])
def test_raw_dart_of_a_dropped_slot_raises(face, shrink, use):
    raw = face.get(6).dart()
    shrink(face)
    before = dart_table(face)
    with kernel_error():
        RAW_DART_USES[use](raw)
    assert dart_table(face) == before


def test_raw_dart_of_a_dropped_slot_sees_the_new_dart_there(face):
    raw = face.get(6).dart()
    face.clear()
    face.make_darts(8)
    assert raw.id == 6 and raw.isFree(0)


def test_set_with_a_dropped_argument_raises(face):
    stale = face.get(7).dart()
    face.resize(4)
    with kernel_error():
        face.get(0).dart().set(0, stale)
    assert face.get(0).dart()[0] == 1


# --- Dart3D ------------------------------------------------------------------------------------

def test_dart_handle_fields(modeler, face):
    dart = face.get(5)
    assert (dart.id, int(dart), dart.gmapid, str(dart)) == (5, 5, 0, "Dart(0, 5)")
    assert dart.modeler is modeler
    copy = gorvin.Dart3D(dart)
    assert copy is not dart and copy == dart and str(copy) == "Dart(0, 5)"


def test_dart_handle_neighbours(face):
    dart = face.get(0)
    assert [dart(d).id for d in range(5)] == [1, 7, 0, 0, 0]
    assert dart.alpha(1) == dart.a(1) == face.get(7)
    assert dart(0)(1)(0)(1).id == 4


def test_dart_equality(modeler, face):
    other_gmap = modeler.make_gmap()
    other_gmap.make_darts(3)
    other_modeler = gorvin.Modeler3D()
    stranger = other_modeler.make_gmap().make_darts(3)[2]
    dart = face.get(2)
    assert dart == face[2] and not dart != face[2]
    assert dart != face.get(3) and dart != other_gmap.get(2) and dart != stranger
    assert dart == 2 and other_gmap.get(2) == 2 and stranger == 2 and not dart == 3
    with pytest.raises(TypeError):
        dart != 2  # only a Dart3D is compared for inequality
    with pytest.raises(TypeError):
        hash(dart)


@pytest.mark.parametrize("member", ["set", "setAlpha"])
def test_dart_handle_links_in_the_gmap_of_its_argument(modeler, face, member):
    other = modeler.make_gmap()
    darts = other.make_darts(3)
    assert getattr(face.get(0), member)(2, darts[1]) is None
    assert other.a(0, 2).id == 1 and other.a(1, 2).id == 0 and face.get(0).isFree(2)
    getattr(darts[0], member)(0, darts[2])
    assert darts[2](0) == darts[0]
    with kernel_error():
        getattr(face.get(7), member)(0, darts[1])


def test_dart_handle_delete_and_exists(face):
    dart = face.get(4)
    dart.delete()
    assert not dart.exists() and all(dart.isFree(d) for d in range(5))
    assert face.get(4).id == DELETED and face.get(3).dart()[1] == 4
    assert not face.get(4).exists()  # the handle of a deleted slot names the deleted id
    face.get(4).delete()  # naming no slot: nothing happens
    assert len(face) == 8


@pytest.mark.parametrize("call", [
    lambda d: d.dart(), lambda d: d.isFree(0), lambda d: d(0), lambda d: d.alpha(0), lambda d: d.a(7),
    lambda d: d.set(0, d), lambda d: d.setAlpha(1, d),
], ids=["dart", "isFree", "call", "alpha", "a", "set", "setAlpha"])
def test_dart_handle_beyond_the_table_raises(face, call):
    dart = face.get(6)
    face.resize(3)
    before = dart_table(face)
    with kernel_error():
        call(dart)
    assert dart_table(face) == before
    assert not dart.exists()
    dart.delete()
    assert dart_table(face) == before


def test_dart_handle_follows_its_id_across_shrink_and_growth(face):
    dart = face.get(6)
    face.resize(3)
    face.make_darts(5)
    assert dart.exists() and dart.isFree(0) and dart.dart().id == 6


DART_HANDLE_USES = {
    "exists": lambda d: d.exists(),
    "delete": lambda d: d.delete(),
    "modeler": lambda d: d.modeler,
    "dart": lambda d: d.dart(),
    "call": lambda d: d(0),
    "alpha": lambda d: d.alpha(0),
    "a": lambda d: d.a(5),
    "set": lambda d: d.set(0, d),
    "setAlpha": lambda d: d.setAlpha(0, d),
    "isFree": lambda d: d.isFree(0),
}


@pytest.mark.parametrize("use", DART_HANDLE_USES)
def test_dart_handle_of_a_collected_modeler_raises(use):
    gmap = gorvin.Modeler3D().make_gmap()
    dart = gmap.make_darts(2)[1]
    del gmap
    gc.collect()
    with kernel_error():
        DART_HANDLE_USES[use](dart)
    assert (str(dart), dart.id, dart.gmapid, int(dart)) == ("Dart(0, 1)", 1, 0, 1)
    assert dart == gorvin.Dart3D(dart) and dart == 1


# --- lifetimes of dart objects -----------------------------------------------------------------

def test_raw_dart_outlives_every_other_reference():
    modeler = gorvin.Modeler3D()
    gmap = modeler.make_gmap()
    square_face(gmap)
    raw = gmap.get(0).dart().a(0).a(1)
    del gmap, modeler
    gc.collect()
    assert raw.id == 2 and raw.a(0).id == 3 and str(raw) == "Dart<2>"
