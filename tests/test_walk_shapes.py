"""Orbits and islets on the shapes that take the kernel's shortcuts: faces and chains walked
without marks, large orbits listed from marks, whole-table islets in one pass, each also with a
one-sided link that sends the kernel back to its general walk."""
import pytest

import gorvinpy_bin as gorvin
import reference_walks as ref
from engine_rules import square_grid
from gmap_helpers import dart_table, square_face


def open_face(gmap):
    square_face(gmap)
    gmap.linkAlpha(1, 3)  # the face becomes a chain from 3 to 4


def face_linked_one_way(gmap):
    square_face(gmap)
    gmap.make_darts(1)
    gmap.get(0).dart()[1] = 8  # 7 still names 0; 0 names 8 instead


def face_with_deleted_dart(gmap):
    square_face(gmap)
    gmap.get(6).delete()


def grid_linked_one_way(gmap):
    square_grid(gmap, 3)
    gmap.get(20).dart()[2] = 41


@pytest.mark.parametrize(
    "shape", [lambda g: square_grid(g, 3), open_face, face_linked_one_way, face_with_deleted_dart,
              grid_linked_one_way])
@pytest.mark.parametrize("dims", [[0, 1], [1, 0, 1], [0], [2, 7], [0, 1, 2], [1, 2, 3], [3]])
def test_orbits_and_islets_match_the_sweeps(gmap, shape, dims):
    shape(gmap)
    table = dart_table(gmap)
    for start in range(len(gmap)):
        ref.assert_agrees(lambda: gorvin.Orbit(dims)(gmap, start), lambda: ref.orbit(table, dims, start))
        ref.assert_agrees(lambda: gorvin.Orbit(dims).sub([0], gmap, start),
                          lambda: ref.sub_orbit(table, dims, [0], start))
    assert gorvin.Islet(dims)(gmap) == ref.islet(table, dims, range(len(gmap)))


def test_a_walk_past_its_reservation_size_lists_every_dart_once(gmap):
    square_grid(gmap, 91)  # 66 248 darts: the walk outgrows 65 536 and reserves the table's bound
    n = len(gmap)
    assert gorvin.Orbit([0, 1, 2])(gmap, 5) == set(range(n))
    assert gorvin.Orbit([2, 0, 1]).sub([0, 1], gmap, 5) == set(range(0, n, 8))
    assert gorvin.Islet([0, 1, 2])(gmap) == [0] * n
