"""The compiled companion module works on the G-maps of gorvinpy_bin and agrees with the per-dart API."""

import random

import numpy as np
import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED, dart_table
from gorvinpy import _native


def random_gmap(seed, size=60):
    """Random links (one-sided ones included), deleted darts and positions on some darts."""
    rng = random.Random(seed)
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.make_darts(size)
    for _ in range(size * 2):
        dim, a, b = rng.randrange(4), rng.randrange(size), rng.randrange(size)
        gmap.linkAlpha(dim, a, b)
    for _ in range(size // 10):
        gmap[rng.randrange(size)].delete()
    return gmap


@pytest.mark.parametrize("seed", range(5))
def test_link_table_and_live_mask_match_the_darts(seed):
    gmap = random_gmap(seed)
    table = dart_table(gmap)
    assert _native.links(gmap).tolist() == [list(row[1:]) for row in table]
    assert _native.live_mask(gmap).tolist() == [row[0] != DELETED for row in table]


@pytest.mark.parametrize("dims", [[1, 2, 3], [0, 2, 3], [0, 1], [0, 1, 2, 3], [3]])
def test_cell_labels_match_islets(dims):
    gmap = random_gmap(7)
    assert _native.cell_labels(gmap, dims).tolist() == gorvin.Islet(dims)(gmap)


def test_link_pairs_follow_link_alpha_in_order():
    bulk, single = random_gmap(3), random_gmap(3)
    a, b = [1, 4, 9, 1], [2, 4, 20, 30]
    _native.link_pairs(bulk, 1, np.array(a, dtype=np.uint32), b)
    for x, y in zip(a, b):
        single.linkAlpha(1, x, y)
    assert dart_table(bulk) == dart_table(single)


def test_appended_darts_are_linked_in_their_block():
    gmap = random_gmap(1, size=10)
    first = _native.append_darts(gmap, [[1, 0, 2, 3], [0, 1, 1, 1], [2, 2, 0, 2], [3, 3, 3, 0]])
    assert first == 10 and len(gmap) == 14
    assert dart_table(gmap)[10:] == [
        (10, 11, 10, 12, 13),
        (11, 10, 11, 11, 11),
        (12, 12, 12, 10, 12),
        (13, 13, 13, 13, 10),
    ]


def test_positions_round_trip_as_tuples_of_floats():
    gmap = random_gmap(2, size=20)
    darts = np.array([0, 5, 19])
    points = np.array([[0, 1, 2], [3.5, -1, 0], [1e9, 2, 3]])
    _native.set_positions(gmap, darts, points)
    assert gmap.ebd123(5)["position"] == (3.5, -1.0, 0.0)
    assert all(type(c) is float for c in gmap.ebd123(0)["position"])
    gmap.ebd123(7)["position"] = [1, 2, 3]  # any three numbers read back
    assert _native.positions(gmap, [19, 7, 0]).tolist() == [[1e9, 2, 3], [1, 2, 3], [0, 1, 2]]


@pytest.mark.parametrize(
    "call, error, words",
    [
        (lambda g: _native.positions(g, [0, 99]), IndexError, "dart 99"),
        (lambda g: _native.positions(g, [-1]), IndexError, "dart -1"),
        (lambda g: _native.positions(g, [3]), KeyError, "dart 3 has no 'position'"),
        (lambda g: _native.set_positions(g, [0, 50], np.zeros((2, 3))), IndexError, "dart 50"),
        (lambda g: _native.set_positions(g, [0], np.zeros((2, 3))), ValueError, "shape"),
        (lambda g: _native.link_pairs(g, 0, [0, 1], [1, 2**32]), IndexError, "4294967296"),
        (lambda g: _native.link_pairs(g, 0, [0, 1], [1]), ValueError, "2 first darts"),
        (lambda g: _native.append_darts(g, [[0, 0, 0, 1]]), ValueError, "new dart 0"),
        (lambda g: _native.append_darts(g, [[0, 0, 0, 0], [5, 1, 1, 1]]), ValueError, "new dart 1 links to 5"),
    ],
)
def test_bad_ids_raise_before_anything_changes(call, error, words):
    gmap = random_gmap(4, size=20)
    before = dart_table(gmap), {i: dict(gmap.ebd123(i)) for i in range(20)}
    with pytest.raises(error, match=words):
        call(gmap)
    assert (dart_table(gmap), {i: dict(gmap.ebd123(i)) for i in range(20)}) == before
