import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED, dart_table, kernel_error, square_face


def is_free_everywhere(dart):
    return all(dart.isFree(d) for d in range(4))


def test_new_gmap_is_empty(gmap):
    assert (len(gmap), gmap.size(), gmap.id) == (0, 0, 0)
    assert list(gmap) == [] and gmap.toDarts() == []
    assert str(gmap) == repr(gmap) == "GMap<0 - size: 0>"
    with kernel_error():
        gmap.get(0)


def test_make_darts_gives_free_live_darts_in_id_order(gmap):
    darts = gmap.make_darts(3)
    assert [str(d) for d in darts] == ["Dart(0, 0)", "Dart(0, 1)", "Dart(0, 2)"]
    assert all(isinstance(d, gorvin.Dart3D) and d.exists() and is_free_everywhere(d) for d in darts)
    assert str(gmap) == "GMap<0 - size: 3>"
    assert [d.id for d in gmap.make_darts(2)] == [3, 4]
    assert gmap.make_darts(0) == [] and len(gmap) == 5


def test_second_gmap_numbers_its_own_darts(modeler, gmap):
    gmap.make_darts(4)
    other = modeler.make_gmap()
    assert [str(d) for d in other.make_darts(2)] == ["Dart(1, 0)", "Dart(1, 1)"]
    assert str(other) == "GMap<1 - size: 2>"


@pytest.mark.parametrize("dim", range(4))
def test_linking_frees_former_neighbours(gmap, dim):
    gmap.make_darts(4)
    gmap.linkAlpha(dim, 0, 1)
    gmap.linkAlpha(dim, 1, 2)
    assert gmap.get(0).isFree(dim)
    assert (gmap.a(1, dim).id, gmap.a(2, dim).id) == (2, 1)
    gmap.linkAlpha(dim, 1, 2)  # already linked: stays linked
    assert (gmap.a(1, dim).id, gmap.a(2, dim).id) == (2, 1)
    gmap.linkAlpha(dim, 3, 2)  # steals 2 from 1
    assert gmap.get(1).isFree(dim) and gmap.alpha(3, dim).id == 2 and gmap.alpha(2, dim).id == 3
    untouched = [d for d in range(4) if d != dim]
    assert all(gmap.get(i).isFree(d) for i in range(4) for d in untouched)


@pytest.mark.parametrize("link", [lambda g: g.linkAlpha(1, 2, 2), lambda g: g.linkAlpha(1, 2)],
                         ids=["with-itself", "loop"])
def test_loop_frees_dart_and_its_former_neighbour(gmap, link):
    gmap.make_darts(4)
    gmap.linkAlpha(1, 2, 3)
    link(gmap)
    assert gmap.get(2).isFree(1) and gmap.get(3).isFree(1)


@pytest.mark.parametrize("call", [
    lambda g: g.linkAlpha(5, 0, 1),
    lambda g: g.linkAlpha(4, 0),
    lambda g: g.linkAlpha(4294967295, 0, 1),
    lambda g: g.get(0).set(7, g.get(1)),
    lambda g: g.get(0).setAlpha(9, g.get(1)),
    lambda g: g.get(0).dart().set(4, g.get(1).dart()),
    lambda g: g.get(0).dart().__setitem__(4, 1),
], ids=["linkAlpha", "loop", "max-dim", "Dart3D.set", "Dart3D.setAlpha", "RawDart3D.set",
        "RawDart3D.__setitem__"])
def test_dimension_above_three_links_nothing(gmap, call):
    square_face(gmap)
    before = dart_table(gmap)
    call(gmap)
    assert dart_table(gmap) == before


def test_dimension_above_three_names_the_dart_itself(gmap):
    square_face(gmap)
    assert gmap.a(0, 9).id == 0 and gmap.alpha(5, 4294967295).id == 5
    assert gmap.get(3).isFree(7) and gmap.get(3).dart().isFree(7)
    assert gmap.get(3)(4).id == 3 and gmap.get(3).dart()[8] == 3


def test_neighbours_and_paths_on_a_face(gmap):
    square_face(gmap)
    assert [gmap.a(i, 0).id for i in range(8)] == [1, 0, 3, 2, 5, 4, 7, 6]
    assert [gmap.alpha(i, 1).id for i in range(8)] == [7, 2, 1, 4, 3, 6, 5, 0]
    assert gmap.path(0, [0, 1]).id == gmap.a(gmap.a(0, 0).id, 1).id == 2
    assert gmap.path(0, [0, 1, 0, 1, 0, 1, 0, 1]).id == 0
    assert gmap.path(5, [2, 3, 9]).id == 5
    assert str(gmap.path(0, [1])) == "Dart(0, 7)"


def test_empty_path_names_the_dart_without_reading_the_table(gmap):
    assert str(gmap.path(3, [])) == "Dart(0, 3)"
    with kernel_error():
        gmap.path(3, [0])


def test_deleted_dart_keeps_its_slot(gmap):
    darts = gmap.make_darts(3)
    gmap.linkAlpha(2, 0, 1)
    darts[1].delete()
    assert not darts[1].exists() and not gmap.exists(1)
    assert all(darts[1].isFree(d) for d in range(6))
    assert gmap.get(1).id == DELETED and str(gmap[1]) == "Dart(0, 4294967295)"
    assert [d.id for d in gmap.toDarts()] == [0, DELETED, 2] and len(gmap) == 3
    assert [d.id for d in gmap] == [0, DELETED, 2]
    assert gmap.get(0).dart()[2] == 1  # the former neighbour still names the deleted id
    assert [d.id for d in gmap.make_darts(1)] == [3]


def test_shrinking_resize_keeps_links_to_dropped_slots(gmap):
    gmap.make_darts(5)
    gmap.linkAlpha(0, 1, 4)
    gmap.resize(2)
    assert len(gmap) == 2 and gmap.get(1).dart()[0] == 4
    assert not gmap.exists(4)
    with kernel_error():
        gmap.a(1, 0)
    with kernel_error():
        gmap.get(1).dart().a(0)
    assert [d.id for d in gmap.make_darts(1)] == [2]
    gmap.linkAlpha(0, 1, 2)  # the dropped neighbour is not written to
    assert gmap.a(1, 0).id == 2 and gmap.a(2, 0).id == 1


def test_growing_resize_appends_free_darts(gmap):
    gmap.make_darts(2)
    gmap.linkAlpha(0, 0, 1)
    gmap.resize(5)
    assert len(gmap) == 5 and [d.id for d in gmap] == [0, 1, 2, 3, 4]
    assert all(gmap.exists(i) and is_free_everywhere(gmap.get(i)) for i in range(2, 5))
    assert gmap.a(0, 0).id == 1
    assert [d.id for d in gmap.make_darts(1)] == [5]
    gmap.resize(6)
    assert len(gmap) == 6


def test_clear_restarts_ids_and_keeps_the_gmap_in_its_modeler(modeler, gmap):
    square_face(gmap)
    gmap.clear()
    assert len(gmap) == 0 and list(gmap) == [] and gmap.id == 0
    assert [d.id for d in gmap.make_darts(2)] == [0, 1]
    assert is_free_everywhere(gmap.get(1))
    assert modeler.gmap(0) is gmap and len(modeler) == 1


def test_reserve_keeps_the_size(gmap):
    gmap.make_darts(3)
    gmap.reserve(1000)
    assert len(gmap) == 3 and [d.id for d in gmap.make_darts(2)] == [3, 4]


@pytest.mark.parametrize("call, error, message", [
    (lambda g: g.reserve(2**63), ValueError, "vector::reserve"),
    (lambda g: g.reserve(2**64 - 1), ValueError, "vector::reserve"),
    (lambda g: g.resize(2**32), ValueError, None),
    (lambda g: g.make_darts(2**64 - 1), ValueError, None),
], ids=["reserve", "reserve-max", "resize", "make_darts"])
def test_impossible_sizes_fail_and_change_nothing(gmap, call, error, message):
    square_face(gmap)
    before = dart_table(gmap)
    with pytest.raises(error) as raised:
        call(gmap)
    assert message is None or str(raised.value) == message
    assert dart_table(gmap) == before
    assert [d.id for d in gmap.make_darts(1)] == [8]


U32_ARGUMENTS = {
    "link-dim": lambda g, x: g.linkAlpha(x, 0, 1),
    "link-a": lambda g, x: g.linkAlpha(0, x, 1),
    "link-b": lambda g, x: g.linkAlpha(0, 1, x),
    "loop-dim": lambda g, x: g.linkAlpha(x, 0),
    "get": lambda g, x: g.get(x),
    "getitem": lambda g, x: g[x],
    "a": lambda g, x: g.a(x, 0),
    "alpha": lambda g, x: g.alpha(0, x),
    "path-id": lambda g, x: g.path(x, []),
    "path-dims": lambda g, x: g.path(0, [0, x]),
    "exists": lambda g, x: g.exists(x),
}
U64_ARGUMENTS = {
    "resize": lambda g, x: g.resize(x),
    "reserve": lambda g, x: g.reserve(x),
    "make_darts": lambda g, x: g.make_darts(x),
}


@pytest.mark.parametrize("bad", ["negative", "too-big", 0.0, "0", None])
@pytest.mark.parametrize("member", [*U32_ARGUMENTS, *U64_ARGUMENTS])
def test_unconvertible_arguments_raise_type_error_and_change_nothing(gmap, member, bad):
    call = U32_ARGUMENTS.get(member) or U64_ARGUMENTS[member]
    bad = {"negative": -1, "too-big": 2**32 if member in U32_ARGUMENTS else 2**64}.get(bad, bad)
    square_face(gmap)
    before = dart_table(gmap)
    with pytest.raises(TypeError):
        call(gmap, bad)
    assert dart_table(gmap) == before


@pytest.mark.parametrize("dart_id", [8, 9, 1000, DELETED - 1, DELETED])
@pytest.mark.parametrize("call", [
    lambda g, x: g.linkAlpha(0, x, 1),
    lambda g, x: g.linkAlpha(2, 1, x),
    lambda g, x: g.linkAlpha(3, x),
    lambda g, x: g.get(x),
    lambda g, x: g[x],
    lambda g, x: g.a(x, 0),
    lambda g, x: g.alpha(x, 7),
    lambda g, x: g.path(x, [1]),
], ids=["link-a", "link-b", "loop", "get", "getitem", "a", "alpha", "path"])
def test_ids_beyond_the_table_raise_and_change_nothing(gmap, call, dart_id):
    square_face(gmap)
    before = dart_table(gmap)
    with kernel_error():
        call(gmap, dart_id)
    assert dart_table(gmap) == before
    assert not gmap.exists(dart_id)


def test_one_sided_links_to_missing_darts_are_never_followed(gmap):
    square_face(gmap)
    gmap.get(0).dart()[0] = 1000  # the one-sided write is not validated
    gmap.get(2).dart()[3] = DELETED
    with kernel_error():
        gmap.a(0, 0)
    with kernel_error():
        gmap.path(2, [3])
    with kernel_error():
        gmap.get(0).a(0)
    with kernel_error():
        gmap.get(2).dart().a(3)
    gmap.linkAlpha(0, 0, 3)  # frees the old neighbours that exist: 2, not 1000
    assert gmap.a(0, 0).id == 3 and gmap.get(2).isFree(0) and gmap.get(1).dart()[0] == 0


def test_iteration_walks_the_slots_taken_at_creation(gmap):
    gmap.make_darts(4)
    iterator = iter(gmap)
    assert iter(iterator) is iterator
    assert next(iterator).id == 0
    gmap.make_darts(100)  # reallocates the table; the walk keeps its end
    assert [d.id for d in iterator] == [1, 2, 3]
    with pytest.raises(StopIteration):
        next(iterator)


@pytest.mark.parametrize("shrink", [lambda g: g.resize(2), lambda g: g.clear()], ids=["resize", "clear"])
def test_iteration_stops_at_a_shrunk_table(gmap, shrink):
    gmap.make_darts(5)
    iterator = iter(gmap)
    next(iterator)
    shrink(gmap)
    assert [d.id for d in iterator] == ([1] if len(gmap) else [])
    with pytest.raises(StopIteration):
        next(iterator)
