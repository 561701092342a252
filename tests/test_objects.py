"""trimesh, PyVista and meshio objects through G-maps and back, on the public meshes and a gmsh volume mesh.

Meshes are compared by what does not depend on numbering: the sorted points, and each face or cell
as the set of its corner points.
"""

import sys
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
from test_public_meshes import MESHES
from test_volume_meshes import canonical_cells, cell_lists

meshio = pytest.importorskip("meshio")
trimesh = pytest.importorskip("trimesh")
pyvista = pytest.importorskip("pyvista")


def sorted_points(points):
    points = np.asarray(points, dtype=float)
    return points[np.lexsort(points.T[::-1])]


def corner_sets(points, faces):
    """Each face (a sequence of point indices) as the frozenset of its corner points, counted."""
    points = [tuple(p) for p in np.asarray(points, dtype=float).tolist()]
    return sorted(sorted(points[i] for i in face) for face in faces)


def pyvista_faces(polydata):
    flat, faces, i = polydata.faces.tolist(), [], 0
    while i < len(flat):
        faces.append(flat[i + 1 : i + 1 + flat[i]])
        i += flat[i] + 1
    return faces


def meshio_faces(mesh):
    return [face for block in mesh.cells for face in np.asarray(block.data).tolist()]


def polygon_counts(gmap):
    counts = gorvinpy.cell_counts(gmap)
    return counts.vertices, counts.edges, counts.faces


@pytest.fixture(params=sorted(MESHES) + ["refined_elephant.off"])
def public_mesh(request, geomview):
    if request.param == "refined_elephant.off":
        return request.getfixturevalue("elephant")
    return geomview / request.param


def test_trimesh_round_trip(public_mesh):
    reference = trimesh.load(public_mesh, process=False, force="mesh")
    gmap = gorvinpy.from_trimesh(reference)
    counts = gorvinpy.cell_counts(gmap)
    assert (counts.vertices, counts.edges, counts.faces) == (
        len(reference.vertices), len(reference.edges_unique), len(reference.faces))
    assert counts.euler == reference.euler_number and gorvinpy.check_gmap(gmap) == []
    again = gorvinpy.to_trimesh(gmap)
    assert np.array_equal(sorted_points(again.vertices), sorted_points(reference.vertices))
    assert corner_sets(again.vertices, again.faces) == corner_sets(reference.vertices, reference.faces)
    assert again.is_watertight and again.is_winding_consistent
    assert again.volume > 0 and again.volume == pytest.approx(abs(reference.volume))


def test_polygons_go_to_trimesh_as_fans(public_mesh):
    gmap = gorvinpy.import_mesh(public_mesh)
    polygons = gorvinpy.read_off(public_mesh)
    triangles = gorvinpy.to_trimesh(gmap)
    reference = trimesh.load(public_mesh, process=False, force="mesh")
    assert len(triangles.faces) == sum(len(face) - 2 for face in polygons.faces) == len(reference.faces)
    assert np.array_equal(sorted_points(triangles.vertices), sorted_points(reference.vertices))
    assert triangles.area == pytest.approx(reference.area)


def meshio_object(path):
    """The polygons of an OFF file as a meshio.Mesh (meshio's OFF reader takes none of these files)."""
    polygons = gorvinpy.read_off(path)
    blocks = {}
    for face in polygons.faces:
        blocks.setdefault(len(face), []).append(face)
    kinds = {3: "triangle", 4: "quad"}
    mesh = meshio.Mesh(polygons.coordinates, [(kinds.get(k, "polygon"), np.array(f)) for k, f in blocks.items()])
    return mesh


def test_pyvista_round_trip(public_mesh):
    expected = polygon_counts(gorvinpy.import_mesh(public_mesh))
    grid = pyvista.from_meshio(meshio_object(public_mesh))
    surface = grid.extract_surface(pass_pointid=False, pass_cellid=False, algorithm="dataset_surface")
    from_grid = gorvinpy.from_pyvista(grid)
    from_polydata = gorvinpy.from_pyvista(surface)
    assert polygon_counts(from_grid) == polygon_counts(from_polydata) == expected
    again = gorvinpy.to_pyvista(from_polydata)
    assert isinstance(again, pyvista.PolyData) and again.n_cells == expected[2]
    assert np.array_equal(sorted_points(again.points), sorted_points(surface.points))
    assert corner_sets(again.points, pyvista_faces(again)) == corner_sets(surface.points, pyvista_faces(surface))


def test_meshio_round_trip(public_mesh):
    reference = meshio_object(public_mesh)
    gmap = gorvinpy.from_meshio(reference)
    assert polygon_counts(gmap) == polygon_counts(gorvinpy.import_mesh(public_mesh))
    again = gorvinpy.to_meshio(gmap)
    assert np.array_equal(sorted_points(again.points), sorted_points(reference.points))
    assert corner_sets(again.points, meshio_faces(again)) == corner_sets(reference.points, meshio_faces(reference))


@pytest.fixture(scope="module")
def gmsh_cylinder(tmp_path_factory):
    pytest.importorskip("gmsh")
    sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
    from volume import mesh_cylinder

    path = tmp_path_factory.mktemp("gmsh") / "cylinder.msh"
    mesh_cylinder(path, size=0.4)
    return meshio.read(path, file_format="gmsh")


def volume_counts(gmap):
    counts = gorvinpy.cell_counts(gmap)
    return counts.vertices, counts.edges, counts.faces, counts.volumes


@pytest.mark.parametrize("through", ["meshio", "pyvista"])
def test_gmsh_volume_mesh_round_trip(gmsh_cylinder, through):
    vertices, edges, faces, cells = cell_lists(gmsh_cylinder)
    gmap = gorvinpy.from_meshio(gmsh_cylinder)
    assert volume_counts(gmap) == (len(vertices), len(edges), len(faces), cells)
    if through == "meshio":
        again = gorvinpy.to_meshio(gmap)
    else:
        grid = gorvinpy.to_pyvista(gmap)
        assert isinstance(grid, pyvista.UnstructuredGrid) and grid.n_cells == cells
        assert set(grid.celltypes.tolist()) == {pyvista.CellType.TETRA}
        again = pyvista.to_meshio(grid)
        assert volume_counts(gorvinpy.from_pyvista(grid)) == volume_counts(gmap)
    assert canonical_cells(again) == canonical_cells(gmsh_cylinder)
    assert gorvinpy.check_gmap(gorvinpy.from_meshio(again)) == []


def test_volume_cell_data_follows_its_cells(gmsh_cylinder):
    tetra = next(block.data for block in gmsh_cylinder.cells if block.type == "tetra")
    points = np.asarray(gmsh_cylinder.points)
    quality = np.linspace(0.0, 1.0, len(tetra))
    source = meshio.Mesh(points, [("tetra", tetra)], point_data={"height": points[:, 2] * 2},
                         cell_data={"quality": [quality]})
    again = gorvinpy.to_meshio(gorvinpy.from_meshio(source))
    by_cell = {tuple(sorted(map(tuple, points[cell]))): q for cell, q in zip(tetra.tolist(), quality)}
    block = again.cells[0]
    for cell, q in zip(block.data.tolist(), again.cell_data["quality"][0]):
        assert by_cell[tuple(sorted(map(tuple, np.asarray(again.points)[cell])))] == q
    assert np.array_equal(again.point_data["height"], np.asarray(again.points)[:, 2] * 2)


def square_pair():
    """Two squares sharing an edge, with a scalar and a vector per point and a label per face."""
    points = np.array([[0, 0, 0], [1, 0, 0], [2, 0, 0], [0, 1, 0], [1, 1, 0], [2, 1, 0]], dtype=float)
    faces = np.array([[0, 1, 4, 3], [1, 2, 5, 4]])
    heat = np.array([0.5, 1.5, 2.5, 3.5, 4.5, 5.5])
    return points, faces, {"heat": heat, "flow": points * 10}, {"label": np.array([7, 9])}


def objects_of(points, faces, point_data, cell_data):
    triangles = np.concatenate([faces[:, [0, 1, 2]], faces[:, [0, 2, 3]]])
    return {
        "meshio": meshio.Mesh(points, [("quad", faces)], point_data=point_data,
                              cell_data={k: [v] for k, v in cell_data.items()}),
        "pyvista": _polydata(points, faces, point_data, cell_data),
        "trimesh": trimesh.Trimesh(points, triangles, process=False, vertex_attributes=point_data,
                                   face_attributes={k: np.r_[v, v] for k, v in cell_data.items()}),
    }


def _polydata(points, faces, point_data, cell_data):
    polydata = pyvista.PolyData(points, np.hstack([np.full((len(faces), 1), 4), faces]).reshape(-1))
    for name, values in point_data.items():
        polydata.point_data[name] = values
    for name, values in cell_data.items():
        polydata.cell_data[name] = values
    return polydata


CONVERTERS = {
    "meshio": (gorvinpy.from_meshio, gorvinpy.to_meshio),
    "pyvista": (gorvinpy.from_pyvista, gorvinpy.to_pyvista),
    "trimesh": (gorvinpy.from_trimesh, gorvinpy.to_trimesh),
}


def point_and_cell_data(kind, mesh):
    if kind == "meshio":
        return mesh.points, mesh.point_data, {k: v[0] for k, v in mesh.cell_data.items()}
    if kind == "pyvista":
        return mesh.points, dict(mesh.point_data), dict(mesh.cell_data)
    return mesh.vertices, mesh.vertex_attributes, mesh.face_attributes


@pytest.mark.parametrize("kind", sorted(CONVERTERS))
def test_point_and_cell_data_go_into_darts_and_back(kind):
    points, faces, point_data, cell_data = square_pair()
    source = objects_of(points, faces, point_data, cell_data)[kind]
    read, write = CONVERTERS[kind]
    gmap = read(source)
    for dart in range(len(gmap)):  # every dart holds its point's and its face's values
        vertex = gmap.ebd123(dart)
        point = int(np.flatnonzero((points == vertex["position"]).all(axis=1))[0])
        assert vertex["heat"] == point_data["heat"][point]
        assert vertex["flow"] == tuple(point_data["flow"][point])
        assert gmap.ebd013(dart)["label"] in (7, 9)
    again_points, again_point_data, again_cell_data = point_and_cell_data(kind, write(gmap))
    order = [int(np.flatnonzero((points == p).all(axis=1))[0]) for p in np.asarray(again_points)]
    assert np.array_equal(again_point_data["heat"], point_data["heat"][order])
    assert np.array_equal(again_point_data["flow"], point_data["flow"][order])
    assert sorted(np.asarray(again_cell_data["label"]).tolist()) == ([7, 7, 9, 9] if kind == "trimesh" else [7, 9])


def test_values_that_are_no_numbers_stay_in_the_gmap():
    gmap = gorvinpy.from_meshio(meshio.Mesh(np.eye(3), [("triangle", [[0, 1, 2]])]))
    gmap.ebd123(0)["note"] = "a string"
    gmap.ebd013(3)["tag"] = (1, 2)  # a face's values are read at its smallest dart, 0, which lacks it
    again = gorvinpy.to_meshio(gmap)
    assert "note" not in again.point_data and again.cell_data == {}


@pytest.mark.parametrize("point_data, message", [
    ({"heat": [1.0, 2.0]}, r"point data 'heat' has shape \(2,\), not one row for each of 3 points"),
    ({"position": np.zeros((3, 3))}, "may not be named 'position'"),
])
def test_bad_point_data_is_named(point_data, message):
    mesh = meshio.Mesh(np.eye(3), [("triangle", [[0, 1, 2]])])
    mesh.point_data = point_data
    with pytest.raises(ValueError, match=message):
        gorvinpy.from_meshio(mesh)


def test_pyvista_strips_are_refused_and_vertices_and_lines_make_no_darts():
    strip = pyvista.PolyData(np.eye(4, 3), strips=[4, 0, 1, 2, 3])
    with pytest.raises(ValueError, match="triangle strips"):
        gorvinpy.from_pyvista(strip)
    mixed = pyvista.PolyData(np.eye(4, 3), faces=[3, 0, 1, 2], lines=[2, 0, 3], verts=[1, 3])
    mixed.cell_data["id"] = np.array([10, 20, 30])  # VTK orders them: vertex, line, polygon
    gmap = gorvinpy.from_pyvista(mixed)
    assert len(gmap) == 6 and gmap.ebd013(0)["id"] == 30
