"""Polygon meshes into G-maps and back, through files."""

from collections import Counter

import pytest

import gorvinpy

TETRAHEDRON = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (0.0, 0.0, 1.0)]


def directed_edges(mesh):
    return Counter((face[i - 1], face[i]) for face in mesh.faces for i in range(len(face)))


@pytest.mark.parametrize(
    "faces",
    [
        [[0, 2, 1], [0, 1, 3], [1, 2, 3], [0, 3, 2]],  # turned the same way
        [[0, 1, 2], [0, 1, 3], [1, 2, 3], [0, 2, 3]],  # turned every way
    ],
)
def test_faces_sew_into_a_closed_surface_whatever_their_turn(gmap, faces):
    darts = gorvinpy.add_mesh(gmap, TETRAHEDRON, faces)
    assert darts == range(0, 24)
    assert gorvinpy.check_gmap(gmap) == []
    assert all(gmap.alpha(d, 2).id != d for d in darts)
    counts = gorvinpy.cell_counts(gmap)
    assert (counts.vertices, counts.edges, counts.faces, counts.euler) == (4, 6, 4, 2)


def test_export_turns_every_face_outwards(gmap):
    gorvinpy.add_mesh(gmap, TETRAHEDRON, [[0, 1, 2], [0, 1, 3], [1, 2, 3], [0, 2, 3]])
    mesh = gorvinpy.to_mesh(gmap)
    edges = directed_edges(mesh)
    assert set(edges.values()) == {1} and all((b, a) in edges for a, b in edges)
    bottom = next(face for face in mesh.faces if all(mesh.points[i][2] == 0 for i in face))
    a, b, c = (mesh.points[i] for i in bottom)
    assert (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (
        c[0] - a[0]
    ) < 0  # normal points down, out of the solid


def test_edge_of_three_faces_sews_the_first_two(gmap):
    points = TETRAHEDRON + [(1.0, 1.0, 1.0)]
    gorvinpy.add_mesh(gmap, points, [[0, 1, 2], [1, 0, 3], [0, 1, 4]])
    assert gorvinpy.check_gmap(gmap) == []
    assert [gmap.alpha(d, 2).id for d in (0, 1)] == [7, 6]
    assert [gmap.alpha(d, 2).id for d in (12, 13)] == [12, 13]


def test_points_without_faces_make_no_darts(gmap):
    darts = gorvinpy.add_mesh(gmap, TETRAHEDRON + [(5.0, 5.0, 5.0)], [[0, 1, 2]])
    assert len(darts) == 6 and gorvinpy.cell_counts(gmap).vertices == 3


@pytest.mark.parametrize("suffix", [".obj", ".ply"])
def test_cube_written_and_read_back(gmap, tmp_path, suffix):
    gmap.apply(gorvinpy.cube())
    written = gorvinpy.export_mesh(gmap, tmp_path / f"cube{suffix}")
    assert len(written.points) == 8 and len(written.faces) == 6
    if suffix == ".obj":
        again = gorvinpy.import_mesh(tmp_path / "cube.obj")
        assert gorvinpy.cell_counts(again) == gorvinpy.cell_counts(gmap)
        assert sorted(gorvinpy.to_mesh(again).points) == sorted(written.points)


def test_import_into_a_given_gmap_appends(gmap, tmp_path):
    gorvinpy.write_obj(tmp_path / "t.obj", TETRAHEDRON, [[0, 1, 2]])
    gorvinpy.add_mesh(gmap, TETRAHEDRON, [[0, 1, 3]])
    assert gorvinpy.import_mesh(tmp_path / "t.obj", gmap) is gmap
    assert gmap.size() == 12 and gorvinpy.cell_counts(gmap).faces == 2


def test_export_needs_positions_and_a_known_suffix(gmap, tmp_path):
    gmap.make_darts(1)
    with pytest.raises(gorvinpy.MissingPositionError, match="dart 0 .* has no 'position'"):
        gorvinpy.export_mesh(gmap, tmp_path / "x.obj")
    with pytest.raises(ValueError, match="unknown mesh format '.xyz'"):
        gorvinpy.export_mesh(gmap, tmp_path / "x.xyz")
