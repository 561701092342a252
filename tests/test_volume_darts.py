"""volume_darts pinned dart for dart: digests of its links, vertex and cell arrays on meshes from real
meshers and on random polyhedra, and the cell or face its errors name."""

import hashlib
import random
import sys
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
from gorvinpy.geometry.volumes import volume_darts
from test_volume_meshes import meshio, mixed_mesh, pentagonal_prism, tetgen_mushroom


def digest(*arrays):
    text = hashlib.sha256()
    for array in arrays:
        text.update(f"{array.dtype.str}{array.shape}".encode())
        text.update(np.ascontiguousarray(array).tobytes())
    return text.hexdigest()[:16]


def outcome(cells, point_count):
    try:
        block = volume_darts(cells, point_count)
    except gorvinpy.VolumeCellError as error:
        return str(error)
    return digest(block.links, block.vertex, block.cell)


def mesh_cells(mesh):
    cells = gorvinpy.CellFaces()
    for block in mesh.cells:
        if block.type in gorvinpy.CELL_FACES:
            cells.add_cells(block.type, np.asarray(block.data))
    return cells


def gmsh_cylinder(tmp_path):
    pytest.importorskip("gmsh")
    sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
    from volume import mesh_cylinder

    mesh_cylinder(tmp_path / "cylinder.msh", size=0.3)
    mesh = meshio.read(tmp_path / "cylinder.msh", file_format="gmsh")
    return mesh.points, mesh_cells(mesh)


def tetgen_cells(tmp_path):
    nodes, elements = tetgen_mushroom()
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", elements[:, :4])
    return nodes, cells


def mixed_cells(tmp_path):
    mesh = mixed_mesh(4)
    return mesh.points, mesh_cells(mesh)


def prism_cells(tmp_path):
    points, faces = pentagonal_prism()
    cells = gorvinpy.CellFaces()
    cells.add_polyhedra("polyhedron", [faces, [face[::-1] for face in faces]])
    return points, cells


@pytest.mark.parametrize(
    "make, points, darts",
    [
        (gmsh_cylinder, "4d7a7329e1840b5e", "3a28e686f96a901b"),
        (tetgen_cells, "401efc983873fe8f", "c9fe2d6ab4b36617"),
        (mixed_cells, "cd3b9339b8000929", "7e8632999bac7bfb"),
        (prism_cells, "adc3be6b1eda7326", "3a783bbfeae8db26"),
    ],
)
def test_darts_of_meshes_are_as_recorded(tmp_path, make, points, darts):
    coordinates, cells = make(tmp_path)
    assert digest(np.asarray(coordinates, dtype=np.float64), *cells.faces, *cells.cells) == points, "mesher changed"
    assert outcome(cells, len(coordinates)) == darts


def random_polyhedra(seed, points=7):
    """Few cells of few faces over few points: edges and faces of one, two or more faces and cells,
    faces over the same corners in another order, and cells of mixed corner counts."""
    rng = random.Random(seed)
    cells = gorvinpy.CellFaces()
    for _ in range(rng.randrange(1, 4)):
        shared = [rng.sample(range(points), rng.choice((3, 3, 4))) for _ in range(rng.randrange(2, 5))]
        cells.add_polyhedra("polyhedron", [[rng.sample(face, len(face)) for face in shared] for _ in range(2)])
        cells.add_cells("tetra", np.array([rng.sample(range(points), 4)]))
    return cells


def test_darts_of_random_polyhedra_are_as_recorded():
    outcomes = [outcome(random_polyhedra(seed), 7) for seed in range(200)]
    kinds = ["edge" if text.startswith("an edge") else "face" if text.startswith("face") else "darts"
             for text in outcomes]
    assert {kind: kinds.count(kind) for kind in set(kinds)} == {"edge": 50, "face": 80, "darts": 70}
    assert digest(np.array(outcomes)) == "e2bc86a9b8b4dd6f"


@pytest.mark.parametrize(
    "blocks, message",
    [
        (  # edges over three faces in two cells: the smaller cell is named
            [("p", [[[0, 1, 2], [3, 4, 5]], [[3, 4, 5], [3, 4, 6], [4, 3, 1]], [[0, 1, 2], [2, 1, 3], [1, 2, 4]]])],
            r"an edge of cell 1 \(p\) is shared by more than two faces",
        ),
        (  # an edge over three faces comes before a face over three cells
            [("tetra", [[0, 1, 2, 3]] * 3), ("q", [[[5, 6, 1], [6, 5, 2], [5, 6, 3]]])],
            r"an edge of cell 3 \(q\) is shared by more than two faces",
        ),
        (  # of two faces over three cells the smaller corner set is named, a triangle before a quadrangle
            [("p", [[[4, 3, 2, 1]], [[1, 2, 3, 4]], [[1, 3, 4, 2]]]), ("t", [[[3, 2, 1]], [[1, 2, 3]], [[2, 3, 1]]])],
            r"face \[1, 2, 3\] is shared by more than two cells",
        ),
        (  # a face over two cells is sewn, one over three named
            [("p", [[[6, 5, 4]], [[4, 5, 6]], [[0, 5, 6, 4]], [[4, 6, 0, 5]], [[5, 4, 6, 0]]])],
            r"face \[0, 4, 5, 6\] is shared by more than two cells",
        ),
    ],
)
def test_errors_name_the_first_cell_or_face_shared_too_often(blocks, message):
    cells = gorvinpy.CellFaces()
    for kind, data in blocks:
        if kind in gorvinpy.CELL_FACES:
            cells.add_cells(kind, np.array(data))
        else:
            cells.add_polyhedra(kind, data)
    with pytest.raises(gorvinpy.VolumeCellError, match=f"^{message}$"):
        volume_darts(cells, 7)
