import random

import pytest

import gorvinpy_bin as gorvin
import reference_walks as ref
from gmap_helpers import UNKNOWN, dart_table


@pytest.fixture
def two_edges(gmap):
    gmap.make_darts(4)
    gmap.linkAlpha(0, 0, 1)
    gmap.linkAlpha(0, 2, 3)
    return gmap


def test_value_members():
    islet = gorvin.Islet([1, 0])
    assert (len(islet), islet.size(), list(islet), islet[1]) == (2, 2, [1, 0], 0)
    assert repr(islet) == str(islet) == "islet<1 0 >"
    assert repr(gorvin.Islet([])) == "islet<>"
    assert islet == gorvin.Islet([1, 0]) and islet != gorvin.Islet([0, 1])
    assert 0 in islet and islet.contains(1) and not islet.contains(2)
    with pytest.raises(IndexError, match="Index out of range"):
        islet[2]


def test_whole_map(two_edges, modeler):
    assert gorvin.Islet([0])(two_edges) == [0, 0, 2, 2]
    assert gorvin.Islet([])(two_edges) == [0, 1, 2, 3]
    assert gorvin.Islet([1, 7, -42])(two_edges) == [0, 1, 2, 3]
    assert gorvin.islet(gorvin.Orbit([0]), two_edges) == [0, 0, 2, 2]
    assert gorvin.Islet([0])(modeler.make_gmap()) == []


def test_seeded(two_edges):
    assert gorvin.Islet([0])(two_edges, [0, 1, 2, 3]) == [0, 0, 2, 2]
    assert gorvin.Islet([0])(two_edges, [9, 4, 7, 8]) == [4, 4, 7, 7]
    assert gorvin.islet(two_edges, gorvin.Orbit([0]), [9, 4, 7, 8]) == [4, 4, 7, 7]
    assert gorvin.Islet([])(two_edges, [5] * 9) == [5] * 9  # too long, but nothing is read
    assert gorvin.Islet([0])(two_edges, [9, 4, 7]) == [4, 4, 7]  # slot 3 has no entry
    assert gorvin.Islet([0])(two_edges, []) == []
    with pytest.raises(RuntimeError, match=UNKNOWN):
        gorvin.Islet([0])(two_edges, [0, 1, 2, 3, 4])
    with pytest.raises(TypeError):
        gorvin.Islet([0])(two_edges, [0, -1])


def test_deleted_and_dropped_slots(two_edges):
    two_edges.get(1).delete()  # 0 keeps naming 1
    assert gorvin.Islet([0])(two_edges) == [0, 1, 2, 2]
    two_edges.resize(3)  # 2 now names the dropped slot 3
    assert gorvin.Islet([0, 1])(two_edges) == [0, 1, 2]


def test_one_sided_links(gmap):
    gmap.make_darts(4)
    for a, b in ((0, 3), (3, 2), (2, 1)):  # 1 reaches nothing, 0 reaches all
        gmap.get(a).dart()[0] = b
    assert gorvin.Islet([0])(gmap) == [0, 1, 1, 1]
    assert gorvin.Islet([0])(gmap, [3, 2, 1, 0]) == [0, 2, 1, 0]


@pytest.mark.parametrize("seed", range(60))
def test_matches_reference(modeler, seed):
    rng = random.Random(seed)
    gmap = ref.random_gmap(modeler, rng, involutive=seed % 2 == 0)
    table = dart_table(gmap)
    for _ in range(4):
        dims = ref.random_dims(rng)
        assert gorvin.Islet(dims)(gmap) == ref.islet(table, dims, range(len(gmap)))
        seeds = [rng.randrange(50) for _ in range(rng.randrange(len(gmap) + 2))]
        ref.assert_agrees(lambda: gorvin.Islet(dims)(gmap, seeds), lambda: ref.islet(table, dims, seeds))
