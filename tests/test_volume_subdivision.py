"""Volumes split into one hexahedron per corner, on tetrahedra from real meshers and on a grid of
hexahedra: counts by formula, every cell's points against a plain construction, links sound."""

import sys
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from shape_reference import assert_same_cells, counts
from test_volume_meshes import EDGES, FACES, hexahedral_grid, tetgen_mushroom

meshio = pytest.importorskip("meshio")


def corner_cells(points, kind, cells):
    """For each corner of each cell, the points of its hexahedron: the corner, the middles of the
    cell's edges there, the centres of the cell's faces there and the cell's centre."""
    p = np.asarray(points, dtype=float)
    out = []
    for cell in np.asarray(cells).tolist():
        centre = tuple(p[cell].mean(axis=0))
        for i, v in enumerate(cell):
            middles = [tuple((p[cell[a]] + p[cell[b]]) / 2) for a, b in EDGES[kind] if i in (a, b)]
            centres = [tuple(p[[cell[j] for j in face]].mean(axis=0)) for face in FACES[kind] if i in face]
            out.append([tuple(p[v])] + middles + centres + [centre])
    return out


def expected_counts(kind, cells):
    cells = np.asarray(cells).tolist()
    vertices = {v for cell in cells for v in cell}
    edges = {frozenset((cell[a], cell[b])) for cell in cells for a, b in EDGES[kind]}
    faces = {frozenset(cell[i] for i in face) for cell in cells for face in FACES[kind]}
    corners = sum(len(face) for face in faces)
    per_cell_edges, per_cell_faces = len(EDGES[kind]) * len(cells), len(FACES[kind]) * len(cells)
    return (len(vertices) + len(edges) + len(faces) + len(cells), 2 * len(edges) + corners + per_cell_faces,
            corners + per_cell_edges, sum(len(cell) for cell in cells))


def gmsh_cylinder(tmp_path):
    pytest.importorskip("gmsh")
    sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
    from volume import mesh_cylinder

    path = tmp_path / "cylinder.msh"
    mesh_cylinder(path, size=0.4)
    mesh = meshio.read(path, file_format="gmsh")
    return mesh.points, "tetra", mesh.cells_dict["tetra"]


def tetgen_tetrahedra(tmp_path):
    nodes, elements = tetgen_mushroom()
    return nodes, "tetra", elements[:, :4]


def hexahedra(tmp_path):
    points, cells = hexahedral_grid(3)
    return points, "hexahedron", cells


@pytest.mark.parametrize("make", [gmsh_cylinder, tetgen_tetrahedra, hexahedra])
def test_every_volume_becomes_one_hexahedron_per_corner(tmp_path, make):
    points, kind, cells = make(tmp_path)
    faces = gorvinpy.CellFaces()
    faces.add_cells(kind, np.asarray(cells))
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_volumes(gmap, np.asarray(points, dtype=float), faces)
    gorvinpy.apply(gmap, gorvinpy.subdivide_volumes(), [0])
    assert gorvinpy.check_gmap(gmap) == []
    assert counts(gmap) == expected_counts(kind, cells)
    assert_same_cells(gmap, (0, 1, 2), corner_cells(points, kind, cells))
    exported = gorvinpy.volume_cells(gmap, False)
    assert exported is not None
