import gc
import random

import pytest

import gorvinpy_bin as gorvin
import reference_walks as ref
from gmap_helpers import UNKNOWN, dart_table, square_face


def test_value_members():
    orbit = gorvin.Orbit([0, 1, 1, -42])
    assert len(orbit) == orbit.size() == 4
    assert list(orbit) == [0, 1, 1, -42]
    assert (orbit[3], 1 in orbit, orbit.contains(-42), 2 in orbit) == (-42, True, True, False)
    assert repr(orbit) == str(orbit) == "<0 1 1 -42 >"
    assert repr(gorvin.Orbit([])) == "<>"
    assert gorvin.Orbit(orbit) == orbit and gorvin.Orbit(orbit) is not orbit
    assert gorvin.Orbit([0, 1]) != gorvin.Orbit([1, 0])
    assert not gorvin.Orbit([0, 1]) == gorvin.Orbit([1, 0])
    assert gorvin.Orbit([0]) != [0]


def test_bad_positions_and_arguments():
    orbit = gorvin.Orbit([0, 1])
    with pytest.raises(IndexError, match="Index out of range"):
        orbit[2]
    for bad in (-1, 1.0, "0"):
        with pytest.raises(TypeError):
            orbit[bad]
    with pytest.raises(TypeError):
        gorvin.Orbit([2**31])


def test_iterator_keeps_its_orbit():
    iterator = iter(gorvin.Orbit([3, 2]))
    gc.collect()
    assert list(iterator) == [3, 2]


def test_square_face(gmap):
    square_face(gmap)
    every = set(range(8))
    assert all(gorvin.Orbit([0, 1])(gmap, d) == every for d in range(8))
    assert gorvin.Orbit([0])(gmap, 3) == {2, 3}
    assert gorvin.Orbit([2, 5, -1])(gmap, 3) == {3}
    assert gorvin.Orbit([])(gmap, 5) == {5}
    assert gorvin.Orbit([])(gmap, 1000) == {1000}  # an empty list reads nothing
    assert gorvin.orbit(gorvin.Orbit([1]), gmap[4]) == {3, 4}
    assert gorvin.orbit(gmap, gorvin.Orbit([1]), 4) == {3, 4}
    assert gorvin.Orbit([0, 1]).sub([0], gmap, 5) == {0, 2, 4, 6}
    assert gorvin.Orbit([0, 1]).sub([], gmap, 5) == every
    assert gorvin.sorbit([0, 1], [1], gmap, 2) == {0, 1, 3, 5}


def test_handle_forms_return_handles(modeler):
    modeler.make_gmap()
    gmap = modeler.make_gmap()
    square_face(gmap)
    darts = gorvin.Orbit([0, 1]).sub([0], gmap[3])
    assert isinstance(darts, list) and darts == [gmap[0], gmap[2], gmap[4], gmap[6]]
    assert [str(d) for d in darts] == ["Dart(1, 0)", "Dart(1, 2)", "Dart(1, 4)", "Dart(1, 6)"]
    assert gorvin.sorbit([0, 1], [0, 1], dart=gmap[7]) == [gmap[0]]
    assert "-> set" in gorvin.Orbit.sub.__doc__.split("3. ")[1]  # registered, never chosen


def test_whole_map_marker(gmap):
    square_face(gmap)
    gmap.get(5).delete()
    live = {0, 1, 2, 3, 4, 6, 7}
    assert gorvin.Orbit([1, -42])(gmap, 2**32 - 1) == live
    assert gorvin.Orbit([-42]).sub([0], gmap, 9) == {0, 2, 4, 6}  # 4 lost its partner
    assert gorvin.Orbit([-42]).sub([-42], gmap, 9) == live  # in the sub-list, an ordinary value


def test_walk_into_missing_slots(gmap):
    square_face(gmap)
    gmap.get(5).delete()
    for start in (0, 5, 8):
        with pytest.raises(RuntimeError, match=UNKNOWN):
            gorvin.Orbit([0, 1])(gmap, start)
    assert gorvin.Orbit([4, -1])(gmap, 5) == {5}  # no link followed
    assert gorvin.Orbit([]).sub([0], gmap, 5) == {5}  # its link leaves the orbit
    with pytest.raises(RuntimeError, match=UNKNOWN):
        gorvin.Orbit([]).sub([0], gmap, 9)
    gmap.resize(7)  # 0 still names 7 through alpha1
    with pytest.raises(RuntimeError, match=UNKNOWN):
        gorvin.Orbit([1])(gmap, 0)
    assert gorvin.Orbit([0]).sub([1], gmap, 0) == {0, 1}  # links leaving the orbit are ignored


def test_argument_types(gmap):
    square_face(gmap)
    with pytest.raises(TypeError):
        gorvin.Orbit([0])(gmap, -1)
    with pytest.raises(TypeError):
        gorvin.orbit(gmap, [0], 1)  # a list is not an Orbit
    with pytest.raises(TypeError):
        gorvin.orbit(gmap, gorvin.Orbit([0]), 1.0)


@pytest.mark.parametrize("seed", range(60))
def test_matches_reference(modeler, seed):
    rng = random.Random(seed)
    gmap = ref.random_gmap(modeler, rng, involutive=seed % 3 != 0)
    table = dart_table(gmap)
    for start in list(range(len(gmap) + 1)) + [2**32 - 1]:
        dims = ref.random_dims(rng, whole_map=True)
        sub = ref.random_dims(rng, whole_map=True)
        for ours, theirs in (
            (lambda: gorvin.Orbit(dims)(gmap, start), lambda: ref.orbit(table, dims, start)),
            (lambda: gorvin.sorbit(dims, sub, gmap, start), lambda: ref.sub_orbit(table, dims, sub, start)),
        ):
            ref.assert_agrees(ours, theirs)


@pytest.mark.parametrize("function", [gorvin.sorbit, gorvin.Orbit.sub], ids=["sorbit", "Orbit.sub"])
def test_the_first_dart3d_form_says_it_returns_a_list_of_dart3d(function):
    forms = [line for line in function.__doc__.splitlines() if "dart: gorvinpy_bin.Dart3D)" in line]
    assert forms[0].endswith(") -> list[gorvinpy_bin.Dart3D]")
