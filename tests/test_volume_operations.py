"""Volume rules: extrusion of a face into a new volume, cutting into tetrahedra, sewing and unsewing."""

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy import _native

CUBE = np.array([(x, y, z) for z in (0.0, 1.0) for y in (0.0, 1.0) for x in (0.0, 1.0)])
HEXAHEDRON = [0, 1, 3, 2, 4, 5, 7, 6]
TETRA_POINTS = np.array([(0.0, 0, 0), (1.0, 0, 0), (0.0, 1, 0), (0.0, 0, 1), (1.0, 1, 1)])


def cell_faces(kind, cells):
    faces = gorvinpy.CellFaces()
    faces.add_cells(kind, np.array(cells))
    return faces


def volumes(points, kind, cells):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_volumes(gmap, points, cell_faces(kind, cells))
    return gmap


def counts(gmap):
    c = gorvinpy.cell_counts(gmap)
    return c.vertices, c.edges, c.faces, c.volumes


def free_along_3(gmap):
    links = _native.links(gmap)
    live = np.flatnonzero(_native.live_mask(gmap))
    return set(live[links[live, 3] == live].tolist())


def tetra_volumes(gmap, path):
    """The signed volumes of the cells written for the G-map (all tetrahedra)."""
    meshio = pytest.importorskip("meshio")
    gorvinpy.export_mesh(gmap, path)
    mesh = meshio.read(path)
    assert [block.type for block in mesh.cells] == ["tetra"]
    p = mesh.points[mesh.cells[0].data]
    return np.einsum("ij,ij->i", np.cross(p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]), p[:, 3] - p[:, 0]) / 6


@pytest.mark.parametrize("kind, cells, before, after", [
    ("hexahedron", [HEXAHEDRON], (8, 12, 6, 1), (12, 20, 11, 2)),
    ("tetra", [[0, 1, 2, 3]], (4, 6, 4, 1), (7, 12, 8, 2)),
])
def test_extruded_face_grows_a_volume_sewn_to_it(kind, cells, before, after):
    gmap = volumes(CUBE if kind == "hexahedron" else TETRA_POINTS, kind, cells)
    assert counts(gmap) == before
    face = set(gorvin.Orbit([0, 1])(gmap, 0))
    gmap.apply(gorvinpy.extrude_volume((0.0, 0.0, -2.0)), [0])
    assert gorvinpy.check_gmap(gmap) == [] and counts(gmap) == after
    sewn = set(range(gmap.size())) - free_along_3(gmap)
    assert sewn == face | {gmap.alpha(d, 3).id for d in face} and len(sewn) == 2 * len(face)
    top = _native.positions(gmap, np.arange(gmap.size()))
    bottom = _native.positions(gmap, np.array(sorted(face)))
    assert np.isclose(top[:, 2].min(), bottom[:, 2].min() - 2.0)


@pytest.mark.parametrize("grid, expected", [
    (1, (15, 50, 60, 24)),  # 8 corners + 6 face centres + 1 centre; 24 tetrahedra
    (2, (71, 310, 432, 192)),
])
def test_every_volume_of_a_part_is_cut_into_tetrahedra(tmp_path, grid, expected):
    from test_volume_meshes import hexahedral_grid

    points, hexahedra = hexahedral_grid(grid)
    gmap = volumes(points, "hexahedron", hexahedra)
    gmap.apply(gorvinpy.tetrahedralize(), [0])
    assert gorvinpy.check_gmap(gmap) == [] and counts(gmap) == expected
    assert expected[0] - expected[1] + expected[2] - expected[3] == 1
    signed = tetra_volumes(gmap, tmp_path / "cut.vtu")
    assert (signed > 0).all() and np.isclose(signed.sum(), grid**3)
    boundary = 6 * grid * grid * 4 * 6  # each boundary square: 4 triangles of 6 darts
    assert len(free_along_3(gmap)) == boundary


def dart_at(gmap, darts, corner, other, face):
    """The dart among darts at point corner, on the edge to point other, in the face of those points."""
    positions = _native.positions(gmap, np.arange(gmap.size()))
    for dart in darts:
        in_face = {tuple(positions[d]) for d in gorvin.Orbit([0, 1])(gmap, dart)}
        if (tuple(positions[dart]), tuple(positions[gmap.alpha(dart, 0).id])) == (corner, other) and in_face == face:
            return dart
    raise AssertionError("no such dart")


def test_two_volumes_sewn_along_a_face_and_unsewn():
    gmap = volumes(TETRA_POINTS, "tetra", [[0, 1, 2, 3]])
    first = gmap.size()
    gorvinpy.add_volumes(gmap, TETRA_POINTS, cell_faces("tetra", [[1, 2, 3, 4]]))
    assert counts(gmap) == (8, 12, 8, 2)
    shared = {tuple(TETRA_POINTS[i]) for i in (1, 2, 3)}
    a = dart_at(gmap, range(first), tuple(TETRA_POINTS[1]), tuple(TETRA_POINTS[2]), shared)
    b = dart_at(gmap, range(first, gmap.size()), tuple(TETRA_POINTS[1]), tuple(TETRA_POINTS[2]), shared)
    gmap.apply(gorvinpy.sew_volumes(), {"n0": a, "n1": b})
    assert gorvinpy.check_gmap(gmap) == [] and counts(gmap) == (5, 9, 7, 2)
    assert len(free_along_3(gmap)) == 48 - 12
    gmap.apply(gorvinpy.unsew_volumes(), [b])
    assert gorvinpy.check_gmap(gmap) == [] and counts(gmap) == (8, 12, 8, 2)
    assert len(free_along_3(gmap)) == 48
