"""The whole-array paths of gorvinpy give what the per-dart API gives, on random G-maps and meshes."""

import random

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
import per_dart_reference as reference
from gorvinpy import _native
from gorvinpy.geometry.layout import polygon_layout


def random_gmap(seed, size=80, one_sided=0):
    """Random links, deleted darts (their neighbours keep links to them) and one-sided writes."""
    rng = random.Random(seed)
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.make_darts(size)
    for _ in range(size * 2):
        gmap.linkAlpha(rng.randrange(4), rng.randrange(size), rng.randrange(size))
    for _ in range(one_sided):
        gmap[rng.randrange(size)].dart()[rng.randrange(4)] = rng.randrange(size)
    for _ in range(size // 10):
        gmap[rng.randrange(size)].delete()
    return gmap


def random_faces(seed, points=12, count=30):
    """Polygons over few points, so that edges are shared by two, three or more faces."""
    rng = random.Random(seed)
    return [rng.sample(range(points), rng.randrange(3, 6)) for _ in range(count)]


def random_points(seed, count):
    rng = random.Random(seed)
    return [(rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1)) for _ in range(count)]


@pytest.mark.parametrize("seed, one_sided", [(s, n) for s in range(6) for n in (0, 5)])
def test_checks_and_counts_match_the_per_dart_reference(seed, one_sided):
    gmap = random_gmap(seed, one_sided=one_sided)
    assert gorvinpy.check_gmap(gmap) == reference.check_messages(gmap)
    assert list(vars(gorvinpy.cell_counts(gmap)).values()) == reference.cell_counts(gmap)
    assert gorvinpy.live_darts(gmap) == set(reference.links(gmap))


@pytest.mark.parametrize("seed, volumes", [(0, False), (1, False), (2, True), (3, True)])
def test_counts_of_sound_meshes_match_the_islets(seed, volumes):
    """Open and closed surfaces (orbits that are paths and cycles), and cubes sewn by alpha3."""
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, random_points(seed, 12), random_faces(seed))
    first = len(gmap)
    gmap.apply(gorvinpy.cube())
    if volumes:
        gmap.apply(gorvinpy.cube())
        for dart in range(first, first + 48):
            gmap.linkAlpha(3, dart, dart + 48)
    assert gorvinpy.check_gmap(gmap) == reference.check_messages(gmap) == []
    assert list(vars(gorvinpy.cell_counts(gmap)).values()) == reference.cell_counts(gmap)


@pytest.mark.parametrize("seed", range(6))
def test_polygon_layout_numbers_and_links_darts_as_the_reference(seed):
    faces = random_faces(seed) + [[0, 1, 1], [2, 2, 2, 3]]  # repeated points make edges of one point
    layout = polygon_layout(faces, 12)
    vertex, *links = reference.polygon_layout(faces)
    assert layout.vertex.tolist() == vertex
    assert list(layout.links) == links


@pytest.mark.parametrize("seed", range(4))
def test_added_polygons_are_the_layout_appended(seed):
    """add_polygons, which makes no table of links, gives the darts of polygon_layout appended."""
    faces = random_faces(seed) + [[0, 1, 1], [2, 2, 2, 3]]
    points = np.array(random_points(seed, 12))
    corners, offsets = np.concatenate([np.array(f) for f in faces]), np.cumsum([0] + [len(f) for f in faces])
    added, appended = (gorvin.Modeler3D().make_gmap() for _ in range(2))
    for gmap in (added, appended):
        gmap.make_darts(3)  # the new block starts past darts of the map
    first, vertex = _native.add_polygons(added, corners, offsets, points)
    layout_vertex, links = _native.polygon_layout(corners, offsets, len(points))
    assert first == _native.append_darts(appended, links, points, layout_vertex)
    assert vertex.tolist() == layout_vertex.tolist()
    assert np.array_equal(_native.links(added), _native.links(appended))
    assert np.array_equal(_native.positions(added, range(3, len(added))), points[vertex])


@pytest.mark.parametrize("seed", range(4))
def test_add_and_to_mesh_match_the_per_dart_reference(seed):
    gmap = gorvin.Modeler3D().make_gmap()
    points = random_points(seed, 12)
    faces = random_faces(seed)
    darts = gorvinpy.add_mesh(gmap, np.array(points), faces)
    assert [gmap.ebd123(d)["position"] for d in darts] == [points[v] for v in reference.polygon_layout(faces)[0]]
    mesh = gorvinpy.to_mesh(gmap)
    assert (mesh.points, mesh.faces) == reference.to_mesh(gmap)


def test_new_darts_get_dicts_of_their_own_and_share_a_tuple_per_point(gmap):
    gorvinpy.add_mesh(gmap, [(0, 0, 0), (1, 0, 0), (0, 1, 0)], np.array([[0, 1, 2]]))
    dicts = [gmap.ebd123(d) for d in range(6)]
    assert len({id(d) for d in dicts}) == 6
    assert dicts[0]["position"] is dicts[5]["position"] == (0.0, 0.0, 0.0)  # darts 0 and 5 lie at point 0
    gorvinpy.set_position(gmap, 0, (5, 5, 5))
    assert gorvinpy.position(gmap, 5) == (0.0, 0.0, 0.0)


def test_bulk_positions_read_what_single_reads_read(gmap):
    gmap.apply(gorvinpy.cube())
    darts = np.arange(len(gmap))[::-1]
    stored = [list(gorvinpy.position(gmap, d)) for d in darts]
    assert gorvinpy.geometry.positions.positions(gmap, darts).tolist() == stored
    gmap.make_darts(1)
    with pytest.raises(gorvinpy.MissingPositionError, match="dart 48 of .* has no 'position'"):
        gorvinpy.geometry.positions.positions(gmap, [0, 48])


@pytest.mark.parametrize(
    "call, error, words",
    [
        (lambda g: _native.append_darts(g, [[0, 0, 0, 0]], np.zeros((2, 3))), ValueError, r"shape \(1, 3\)"),
        (lambda g: _native.append_darts(g, [[0, 0, 0, 0]], np.zeros((2, 3)), [2]), IndexError, "row 2"),
        (lambda g: _native.append_darts(g, [[0, 0, 0, 0]], None, [0]), ValueError, "rows need points"),
        (lambda g: _native.polygon_layout([0, 1, 5], [0, 3], 4), ValueError, r"face \[0, 1, 5\]"),
        (lambda g: _native.polygon_layout([0, 1, 2], [0, 2], 4), ValueError, "offsets"),
        (lambda g: _native.add_polygons(g, [0, 1, 5], [0, 3], np.zeros((4, 3))), ValueError, r"face \[0, 1, 5\]"),
        (lambda g: _native.add_polygons(g, [0, 1, 2], [0, 3], np.zeros((4, 2))), ValueError, r"shape \(n, 3\)"),
        (lambda g: _native.volume_layout([0, 1, 2], [0, 3], [0, 0], 4), ValueError, "each face a cell"),
        (lambda g: _native.volume_layout([0, 1, 2], [0, 3], [-1], 4), ValueError, "each face a cell"),
        (lambda g: _native.volume_layout([0, 1, 7], [0, 3], [0], 4), ValueError, r"face \[0, 1, 7\]"),
        (lambda g: _native.rasterize(np.zeros((1, 3)), [[0, 0, 1]], [[0, 0, 0]], np.zeros((0, 2)),
                                     (0, 0, 0), 0, 4, 1, (1, 1, 1)), IndexError, "point 1"),
    ],
)
def test_bad_arrays_raise_before_anything_changes(gmap, call, error, words):
    with pytest.raises(error, match=words):
        call(gmap)
    assert len(gmap) == 0


def test_obj_text_spells_floats_as_python_repr(tmp_path):
    rng = random.Random(3)
    values = [0.0, -0.0, 1.0, 0.1, 1e-5, 1e-4, 123456789012345.6, 1e16, 1e22, -2.5e-300, 5e-324, 1.7976931348623157e308]
    values += [rng.uniform(-1e6, 1e6) for _ in range(40)] + [10 ** rng.uniform(-20, 20) for _ in range(40)]
    points = [values[i : i + 3] for i in range(0, len(values) - 2, 3)]
    faces = [[0, 1, 2], [2, 1, 0, 3]]
    gorvinpy.write_obj(tmp_path / "out.obj", points, faces)
    assert (tmp_path / "out.obj").read_text() == reference.obj_text(points, faces)
