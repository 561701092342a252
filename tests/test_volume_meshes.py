"""Volume meshes from real meshers into G-maps and back, counted against their cell lists."""

import sys
from collections import Counter
from itertools import combinations
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin
from gorvinpy import _native

meshio = pytest.importorskip("meshio")

# Each cell type's edges and faces (as corner sets), written independently of the package's tables.
RING4 = [(0, 1), (1, 2), (2, 3), (3, 0)]
EDGES = {
    "tetra": list(combinations(range(4), 2)),
    "hexahedron": RING4 + [(a + 4, b + 4) for a, b in RING4] + [(i, i + 4) for i in range(4)],
    "wedge": [(0, 1), (1, 2), (2, 0), (3, 4), (4, 5), (5, 3), (0, 3), (1, 4), (2, 5)],
    "pyramid": RING4 + [(i, 4) for i in range(4)],
}
FACES = {
    "tetra": [set(face) for face in combinations(range(4), 3)],
    "hexahedron": [{0, 1, 2, 3}, {4, 5, 6, 7}] + [{a, b, a + 4, b + 4} for a, b in RING4],
    "wedge": [{0, 1, 2}, {3, 4, 5}, {0, 1, 3, 4}, {1, 2, 4, 5}, {0, 2, 3, 5}],
    "pyramid": [{0, 1, 2, 3}] + [{a, b, 4} for a, b in RING4],
}
GEOMVIEW = Path("/usr/share/geomview/geom")


def file_format(path, version=""):
    """.msh as gmsh's format (meshio would pick ANSYS's), others by meshio's choice."""
    return "gmsh" + version if Path(path).suffix == ".msh" else None


def write(path, mesh):
    meshio.write(path, mesh, file_format=file_format(path, "22"))


def read(path):
    return meshio.read(path, file_format=file_format(path))


def volume_blocks(mesh):
    return [(block.type, np.asarray(block.data)) for block in mesh.cells if block.type in EDGES]


def cell_lists(mesh):
    """Distinct vertices, edges and faces of the volume cells (as point-index sets), and the cells."""
    vertices, edges, faces = set(), set(), Counter()
    cells = 0
    for kind, data in volume_blocks(mesh):
        cells += len(data)
        for cell in data.tolist():
            vertices.update(cell)
            edges.update(frozenset((cell[a], cell[b])) for a, b in EDGES[kind])
            faces.update(frozenset(cell[i] for i in face) for face in FACES[kind])
    return vertices, edges, faces, cells


def canonical_cells(mesh):
    """Cells by type as sorted corner coordinates, independent of point numbering and corner order."""
    points = np.round(np.asarray(mesh.points, dtype=float), 9)
    return {
        kind: sorted(sorted(map(tuple, points[cell])) for cell in data.tolist()) for kind, data in volume_blocks(mesh)
    }


def free_alpha3_faces(gmap):
    """The faces (as sets of corner positions) of the darts free along alpha3, and those darts' count."""
    links = _native.links(gmap)
    live = np.flatnonzero(_native.live_mask(gmap))
    free = live[links[live, 3] == live]
    face = np.asarray(_native.cell_labels(gmap, [0, 1]))
    points = _native.positions(gmap, free)
    corners = {}
    for label, point in zip(face[free].tolist(), map(tuple, np.round(points, 9))):
        corners.setdefault(label, set()).add(point)
    return {frozenset(c) for c in corners.values()}, len(free)


def check_volume_mesh(path, tmp_path, euler=1):
    reference = read(path)
    gmap = gorvinpy.import_mesh(path)
    vertices, edges, faces, cells = cell_lists(reference)
    counts = gorvinpy.cell_counts(gmap)
    assert (counts.vertices, counts.edges, counts.faces, counts.volumes) == (
        len(vertices), len(edges), len(faces), cells)
    assert counts.vertices - counts.edges + counts.faces - counts.volumes == euler
    assert gorvinpy.check_gmap(gmap) == []

    points = np.round(np.asarray(reference.points, dtype=float), 9)
    boundary = [face for face, uses in faces.items() if uses == 1]
    expected = {frozenset(tuple(points[i]) for i in face) for face in boundary}
    found, free_darts = free_alpha3_faces(gmap)
    assert found == expected and free_darts == sum(2 * len(face) for face in boundary)

    again_path = tmp_path / f"again{Path(path).suffix}"
    gorvinpy.export_mesh(gmap, again_path)
    again = read(again_path)
    assert canonical_cells(again) == canonical_cells(reference)
    assert gorvinpy.cell_counts(gorvinpy.import_mesh(again_path)) == counts
    return gmap


def test_gmsh_tetrahedra_of_a_solid_cylinder(tmp_path):
    pytest.importorskip("gmsh")
    sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
    from volume import mesh_cylinder

    path = tmp_path / "cylinder.msh"
    mesh_cylinder(path, size=0.3)
    kinds = {block.type for block in read(path).cells}
    assert {"tetra", "triangle", "line", "vertex"} <= kinds  # the boundary is written again beside the volumes
    gmap = check_volume_mesh(path, tmp_path)
    assert gorvinpy.cell_counts(gmap).volumes > 200


def tetgen_mushroom():
    """Points and tetrahedra (with tetgen's extra columns) that tetgen makes inside mushroom.off."""
    tetgen = pytest.importorskip("tetgen")
    if not (GEOMVIEW / "mushroom.off").is_file():
        pytest.skip("Debian's geomview package is not installed")
    surface = gorvinpy.read_off(GEOMVIEW / "mushroom.off")
    triangles = [[face[0], face[i], face[i + 1]] for face in surface.faces for i in range(1, len(face) - 1)]
    mesher = tetgen.TetGen(np.array(surface.points), np.array(triangles))
    mesher.tetrahedralize(quality=False)
    return mesher.node, mesher.elem


def test_tetgen_tetrahedra_of_a_closed_real_surface(tmp_path):
    nodes, elements = tetgen_mushroom()
    path = tmp_path / "mushroom.vtu"
    meshio.write(path, meshio.Mesh(nodes, [("tetra", elements[:, :4])]))
    gmap = check_volume_mesh(path, tmp_path)
    assert gorvinpy.cell_counts(gmap).volumes == len(elements)


def hexahedral_grid(n):
    index = np.arange((n + 1) ** 3).reshape(n + 1, n + 1, n + 1)  # [k, j, i]
    points = np.stack(np.meshgrid(*[np.arange(n + 1.0)] * 3, indexing="ij")[::-1], axis=-1).reshape(-1, 3)
    k, j, i = (a.reshape(-1) for a in np.meshgrid(*[np.arange(n)] * 3, indexing="ij"))
    corners = [(0, 0, 0), (0, 0, 1), (0, 1, 1), (0, 1, 0)]
    bottom = [index[k + dk, j + dj, i + di] for dk, dj, di in corners]
    top = [index[k + 1 + dk, j + dj, i + di] for dk, dj, di in corners]
    return points, np.stack(bottom + top, axis=1)


def mixed_mesh(n):
    """An n x n x n grid of hexahedra whose column (i, j) = (0, 0) is cut into wedges and whose cell
    (n-1, n-1, n-1) is cut into six pyramids around its centre."""
    points, hexahedra = hexahedral_grid(n)
    column = np.arange(n) * n * n
    last = n**3 - 1
    keep = np.setdiff1d(np.arange(n**3), np.r_[column, last])
    h = hexahedra[column]
    wedges = np.concatenate([h[:, [0, 1, 2, 4, 5, 6]], h[:, [0, 2, 3, 4, 6, 7]]])
    cube = hexahedra[last]
    centre = len(points)
    points = np.vstack([points, points[cube].mean(axis=0)])
    pyramid_bases = [[0, 3, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6], [3, 0, 4, 7]]
    pyramids = np.array([list(cube[base]) + [centre] for base in pyramid_bases])
    return meshio.Mesh(points, [("hexahedron", hexahedra[keep]), ("wedge", wedges), ("pyramid", pyramids)])


@pytest.mark.parametrize("suffix", [".vtu", ".vtk", ".msh", ".mesh", ".xdmf"])
def test_hexahedral_grid(tmp_path, suffix):
    points, hexahedra = hexahedral_grid(4)
    path = tmp_path / f"grid{suffix}"
    write(path, meshio.Mesh(points, [("hexahedron", hexahedra)]))
    gmap = check_volume_mesh(path, tmp_path)
    assert gorvinpy.cell_counts(gmap) == gorvinpy.CellCounts(125, 300, 240, 64, 1)


@pytest.mark.parametrize("suffix", [".vtu", ".vtk", ".msh", ".xdmf"])
def test_mixed_mesh_of_hexahedra_wedges_and_pyramids(tmp_path, suffix):
    path = tmp_path / f"mixed{suffix}"
    write(path, mixed_mesh(3))
    gmap = check_volume_mesh(path, tmp_path)
    kinds = {block.type: len(block.data) for block in read(path).cells}
    assert kinds == {"hexahedron": 23, "wedge": 6, "pyramid": 6}
    assert gorvinpy.cell_counts(gmap).volumes == 35


def pentagonal_prism():
    ring = [(np.cos(a), np.sin(a), 0.0) for a in np.linspace(0, 2 * np.pi, 6)[:-1]]
    points = ring + [(x, y, 1.0) for x, y, _ in ring]
    faces = [[0, 1, 2, 3, 4], [9, 8, 7, 6, 5]] + [[i, i + 5, (i + 1) % 5 + 5, (i + 1) % 5] for i in range(5)]
    return points, faces


def test_polyhedra_round_trip_through_vtu_and_name_the_volume_elsewhere(tmp_path):
    points, faces = pentagonal_prism()
    cells = gorvinpy.CellFaces()
    cells.add_polyhedra("polyhedron", [faces])
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    gorvinpy.add_volumes(gmap, np.array(points), cells)
    counts = gorvinpy.cell_counts(gmap)
    assert (counts.vertices, counts.edges, counts.faces, counts.volumes) == (10, 15, 7, 1)
    assert gorvinpy.check_gmap(gmap) == []
    gorvinpy.export_mesh(gmap, tmp_path / "prism.vtu")
    again = meshio.read(tmp_path / "prism.vtu")
    assert [block.type for block in again.cells] == ["polyhedron10"]
    assert gorvinpy.cell_counts(gorvinpy.import_mesh(tmp_path / "prism.vtu")) == counts
    with pytest.raises(gorvinpy.VolumeCellError, match=r"volume of dart 0 .*prism\.msh has no polyhedron"):
        gorvinpy.export_mesh(gmap, tmp_path / "prism.msh")


@pytest.mark.parametrize(
    "cells, message",
    [
        ([[0, 1, 2, 9]], r"cell 0 \(tetra\) has a point index out of range"),
        ([[0, 1, 2, 2]], r"cell 0 \(tetra\) has a face that repeats a corner"),
        ([[0, 1, 2, 3], [0, 1, 2, 4], [0, 1, 2, 3]], r"face \[0, 1, 2\] is shared by more than two cells"),
    ],
)
def test_bad_cells_are_named(tmp_path, cells, message):
    points = np.eye(5, 3)
    path = tmp_path / "bad.vtu"
    meshio.write(path, meshio.Mesh(points, [("tetra", np.array(cells))]))
    with pytest.raises(gorvinpy.MeshFileError, match=f"bad.vtu: {message}"):
        gorvinpy.import_mesh(path)


@pytest.mark.parametrize("name, text", [("broken.vtu", "<VTKFile><Piece"), ("broken.msh", "$MeshFormat\n9 0 8\n")])
def test_unreadable_files_raise_an_error_naming_the_file(tmp_path, name, text):
    (tmp_path / name).write_text(text)
    with pytest.raises(gorvinpy.MeshFileError, match=f"{name}: cannot be read as"):
        gorvinpy.import_mesh(tmp_path / name)


@pytest.mark.parametrize(
    "add, message",
    [
        (lambda cells: cells.add_cells("wedge", np.zeros((2, 5))), "wedge cells have 6 corners, not 5"),
        (
            lambda cells: cells.add_polyhedra("polyhedron", [[[0, 1, 2], [0, 1]]]),
            r"cell 0 \(polyhedron\) has a face of fewer",
        ),
        (lambda cells: cells.add_polyhedra("polyhedron", [[[0, 1, 2], [0, 1, 3], [0, 1, 4]]]),
         r"an edge of cell 0 \(polyhedron\) is shared by more than two faces"),
    ],
)
def test_bad_cells_given_directly_are_named(add, message):
    cells = gorvinpy.CellFaces()
    with pytest.raises(gorvinpy.VolumeCellError, match=message):
        add(cells)
        gorvinpy.add_volumes(gorvinpy_bin.Modeler3D().make_gmap(), np.eye(5, 3), cells)


@pytest.mark.parametrize("suffix, cells, counts", [
    (".vtu", [("polygon", 1)], (5, 5, 1)),
    (".stl", [("triangle", 3)], (5, 7, 3)),  # STL holds triangles only: the face is cut into a fan
    (".vtk", [("polygon", 1)], (5, 5, 1)),
])
def test_surfaces_go_through_meshio_as_polygons(tmp_path, suffix, cells, counts):
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0.5, 1.5, 0)]))
    written = gorvinpy.export_mesh(gmap, tmp_path / f"pentagon{suffix}")
    assert [(block.type, len(block.data)) for block in written.cells] == cells
    again = gorvinpy.cell_counts(gorvinpy.import_mesh(tmp_path / f"pentagon{suffix}"))
    assert (again.vertices, again.edges, again.faces) == counts
