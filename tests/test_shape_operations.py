"""Corners and edges cut off, and surfaces thickened into shells: cell counts by formula, points
against the plain constructions of shape_reference, links sound, refusals before any change."""

import random

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy import _native
from sample_surfaces import CUBE_FACES, ELEPHANT, GEOMVIEW, grid
from shape_reference import (
    assert_same_cells,
    chamfered_edges,
    chamfered_vertices,
    counts,
    directed_edges,
    thickened,
)

CUBE_POINTS = [(x, y, z) for z in (0.0, 1.0) for y in (0.0, 1.0) for x in (0.0, 1.0)]


def closed_triangles():
    """An octahedron with jittered corners, each face cut into four."""
    rng = random.Random(5)
    axes = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1), (0, 0, -1)]
    points = [tuple(x * rng.uniform(0.8, 1.2) for x in axis) for axis in axes]
    octants = [(0, 2, 4), (2, 1, 4), (1, 3, 4), (3, 0, 4), (2, 0, 5), (1, 2, 5), (3, 1, 5), (0, 3, 5)]
    middles, faces = {}, []

    def middle(a, b):
        if (b, a) not in middles:
            middles[a, b] = len(points)
            points.append(tuple((np.array(points[a]) + points[b]) / 2 + rng.uniform(-0.05, 0.05)))
        return middles.get((a, b), middles.get((b, a)))

    for a, b, c in octants:
        ab, bc, ca = middle(a, b), middle(b, c), middle(c, a)
        faces += [[a, ab, ca], [ab, b, bc], [ca, bc, c], [ab, bc, ca]]
    return points, faces


def public(path):
    if not path.is_file():
        pytest.skip(f"{path} is missing (geomview, scripts/mesh-data.sh)")
    mesh = gorvinpy.read_off(path)
    return mesh.points, mesh.faces


CLOSED = {
    "cube": lambda: (CUBE_POINTS, CUBE_FACES),
    "closed triangles": closed_triangles,
    "mushroom.off": lambda: public(GEOMVIEW / "mushroom.off"),
    "refined_elephant.off": lambda: public(ELEPHANT),
}
OPEN = {
    "quad grid": lambda: grid(5),
    "open triangles": lambda: grid(4, triangles=True, seed=3),
}


def surface(points, faces):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, points, faces)
    return gmap


def shape_counts(faces):
    vertices = len({v for face in faces for v in face})
    edges = len({frozenset(edge) for edge in directed_edges(faces)})
    return vertices, edges, len(faces)


CHAMFERS = {
    # operation, its plain construction, (vertices, edges, faces) after, from those before
    "vertices": (gorvinpy.chamfer_vertices, chamfered_vertices, lambda v, e, f: (2 * e, 3 * e, f + v)),
    "edges": (gorvinpy.chamfer_edges, chamfered_edges, lambda v, e, f: (2 * e, 4 * e, f + e + v)),
}


# The elephant (533,568 darts) once, the small meshes at two fractions.
SIZES = [(name, t) for name in sorted(CLOSED) if name != "refined_elephant.off" for t in (0.12, 0.4)]


@pytest.mark.parametrize("name, t", SIZES + [("refined_elephant.off", 0.3)])
@pytest.mark.parametrize("chamfer", sorted(CHAMFERS))
def test_chamfers_cut_every_corner_or_edge_of_a_closed_surface(name, chamfer, t):
    operation, construction, after = CHAMFERS[chamfer]
    points, faces = CLOSED[name]()
    gmap = surface(points, faces)
    gorvinpy.apply(gmap, operation(t), [0])
    assert gorvinpy.check_gmap(gmap) == []
    assert counts(gmap) == (*after(*shape_counts(faces)), 1)
    assert_same_cells(gmap, (0, 1), construction(points, faces, t))


@pytest.mark.parametrize("name", sorted(CLOSED) + sorted(OPEN))
def test_thickened_surface_is_a_shell_of_prisms(name):
    points, faces = {**CLOSED, **OPEN}[name]()
    v, e, f = shape_counts(faces)
    gmap = surface(points, faces)
    boundary = set(np.flatnonzero(_native.links(gmap)[:, 2] == np.arange(len(gmap))).tolist())
    gorvinpy.apply(gmap, gorvinpy.thicken(0.05), [0])
    assert gorvinpy.check_gmap(gmap) == []
    assert counts(gmap) == (2 * v, 2 * e + v, 2 * f + e, f)
    assert_same_cells(gmap, (0, 1, 2), thickened(points, faces, 0.05))
    # Closed shell: the free faces along alpha3 are the two copies and one wall per boundary edge.
    links = _native.links(gmap)
    free = np.flatnonzero(links[:, 3] == np.arange(len(gmap)))
    assert len(free) == 2 * sum(2 * len(face) for face in faces) + 4 * len(boundary)


@pytest.mark.parametrize("operation", [gorvinpy.chamfer_vertices, gorvinpy.chamfer_edges])
@pytest.mark.parametrize("name", sorted(OPEN))
def test_chamfers_refuse_a_surface_with_a_boundary_before_any_change(operation, name):
    gmap = surface(*OPEN[name]())
    links = _native.links(gmap).copy()
    boundary = np.flatnonzero(links[:, 2] == np.arange(len(gmap)))
    with pytest.raises(gorvinpy.RuleInputError, match=rf"dart {boundary.min()} is free along alpha2"):
        gorvinpy.apply(gmap, operation(), [7])
    assert (_native.links(gmap) == links).all()


def test_thicken_refuses_a_volume_before_any_change():
    gmap = gorvin.Modeler3D().make_gmap()
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", np.array([[0, 1, 2, 3], [1, 2, 3, 4]]))
    gorvinpy.add_volumes(gmap, np.array([(0.0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 1)]), cells)
    size = len(gmap)
    sewn = np.flatnonzero(_native.links(gmap)[:, 3] != np.arange(size))
    with pytest.raises(gorvinpy.RuleInputError, match=rf"dart {sewn.min()} is sewn along alpha3"):
        gorvinpy.apply(gmap, gorvinpy.thicken(), [0])
    assert len(gmap) == size


@pytest.mark.parametrize("operation", [gorvinpy.chamfer_vertices, gorvinpy.chamfer_edges])
@pytest.mark.parametrize("t", [0.0, 0.5, -0.1, 2.0, float("nan")])
def test_chamfer_fractions_outside_the_open_half_are_refused(operation, t):
    with pytest.raises(ValueError, match=r"t must lie strictly between 0 and 1/2"):
        operation(t)


@pytest.mark.parametrize("name", ["tetra.off", "octa.off", "icosa.off", "cube.off", "dodec.off", "mushroom.off"])
def test_every_operation_keeps_public_meshes_sound(name):
    points, faces = public(GEOMVIEW / name)
    for operation in (gorvinpy.chamfer_vertices(), gorvinpy.chamfer_edges(), gorvinpy.thicken(0.1),
                      gorvinpy.subdivide_volumes()):
        gmap = surface(points, faces)
        gorvinpy.apply(gmap, operation, [0])
        assert gorvinpy.check_gmap(gmap) == [], operation.name
