"""Subdivision schemes and the dual: positions against plain implementations of the published
formulas (tests/subdivision_reference.py), cell counts, valid G-maps, and the refusals."""

import random

import pytest

import gorvinpy
import gorvinpy_bin as gorvin
import sample_surfaces as surfaces
import subdivision_reference as reference
from engine_rules import orbits
from sample_surfaces import elephant_surface as elephant
from sample_surfaces import grid
from test_batch import both_ways, built, random_mesh

SCHEMES = {
    "catmull_clark": (gorvinpy.catmull_clark, reference.catmull_clark),
    "loop_subdivide": (gorvinpy.loop_subdivide, reference.loop),
    "doo_sabin": (gorvinpy.doo_sabin, reference.doo_sabin),
    "dual": (gorvinpy.dual, reference.dual),
}
GEOMVIEW = surfaces.GEOMVIEW


def cube():
    return surfaces.cube(-1.0, 1.0)


def octahedron(seed=0):
    """A closed triangle mesh, jittered."""
    rng = random.Random(seed)
    axes = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1), (0, 0, -1)]
    points = [tuple(x + rng.uniform(-0.1, 0.1) for x in axis) for axis in axes]
    faces = [[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4], [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]]
    return points, faces


MESHES = {"cube": cube, "quad grid": grid, "closed triangles": octahedron,
          "open triangles": lambda: grid(triangles=True), "elephant": elephant}
# which schemes apply to which mesh
CASES = [("catmull_clark", name) for name in MESHES] + [
    ("loop_subdivide", "closed triangles"), ("loop_subdivide", "open triangles"), ("loop_subdivide", "elephant"),
    ("doo_sabin", "cube"), ("doo_sabin", "closed triangles"), ("doo_sabin", "elephant"),
    ("dual", "cube"), ("dual", "closed triangles"), ("dual", "elephant"),
]


def subdivided(scheme, points, faces, apply=gorvinpy.apply):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, points, faces)
    apply(gmap, SCHEMES[scheme][0](), [0])
    return gmap


@pytest.mark.parametrize("scheme, mesh", CASES)
def test_positions_follow_the_published_formulas(scheme, mesh):
    points, faces = MESHES[mesh]()
    gmap = subdivided(scheme, points, faces)
    assert gorvinpy.check_gmap(gmap) == []
    result = gorvinpy.to_mesh(gmap)
    reference.assert_same_mesh(result.points, result.faces, *SCHEMES[scheme][1](points, faces))


def formula_counts(scheme, counts, corners):
    """(vertices, edges, faces) after the scheme, from the counts before and the number of corners."""
    v, e, f = counts.vertices, counts.edges, counts.faces
    return {
        "catmull_clark": (v + e + f, 2 * e + corners, corners),
        "loop_subdivide": (v + e, 2 * e + 3 * f, 4 * f),
        "doo_sabin": (corners, 2 * corners, f + e + v),
        "dual": (f, e, v),
    }[scheme]


@pytest.mark.parametrize("scheme, mesh", [case for case in CASES if case[1] != "elephant"])
def test_cell_counts_follow_each_scheme(scheme, mesh):
    points, faces = MESHES[mesh]()
    before = gorvinpy.cell_counts(built(points, faces))
    after = gorvinpy.cell_counts(subdivided(scheme, points, faces))
    corners = sum(len(face) for face in faces)
    assert (after.vertices, after.edges, after.faces) == formula_counts(scheme, before, corners)


GEOMVIEW_CLOSED = ["cube.off", "dodec.off", "icosa.off", "octa.off", "tetra.off", "mushroom.off"]


@pytest.mark.parametrize("scheme", sorted(SCHEMES))
@pytest.mark.parametrize("name", GEOMVIEW_CLOSED)
def test_every_public_mesh_stays_a_gmap(scheme, name):
    if not GEOMVIEW.is_dir():
        pytest.skip("Debian's geomview package is not installed")
    gmap = gorvinpy.import_mesh(GEOMVIEW / name)
    faces = gorvinpy.to_mesh(gmap).faces
    if scheme == "loop_subdivide" and any(len(face) != 3 for face in faces):
        with pytest.raises(gorvinpy.RuleInputError, match="corners, not 3"):
            gorvinpy.apply(gmap, gorvinpy.loop_subdivide(), [0])
        return
    before = gorvinpy.cell_counts(gmap)
    gorvinpy.apply(gmap, SCHEMES[scheme][0](), [0])
    assert gorvinpy.check_gmap(gmap) == []
    after = gorvinpy.cell_counts(gmap)
    corners = sum(len(face) for face in faces)
    assert (after.vertices, after.edges, after.faces) == formula_counts(scheme, before, corners)


def closed_random_mesh(seed):
    """A jittered cube whose faces are split at random into triangles."""
    rng = random.Random(seed)
    points, faces = cube()
    points = [tuple(x + rng.uniform(-0.2, 0.2) for x in p) for p in points]
    split = []
    for a, b, c, d in faces:
        split += [[a, b, c], [a, c, d]] if rng.random() < 0.5 else [[a, b, c, d]]
    return points, split


def triangulated(points, faces):
    return points, [[face[0], face[k], face[k + 1]] for face in faces for k in range(1, len(face) - 1)]


def random_case(scheme, seed):
    if scheme == "catmull_clark":
        return random_mesh(seed, 3)
    if scheme == "loop_subdivide":
        return triangulated(*random_mesh(seed, 3))
    return closed_random_mesh(seed)


@pytest.mark.parametrize("seed", range(4))
@pytest.mark.parametrize("scheme", sorted(SCHEMES))
def test_batch_and_per_row_give_the_same_gmap(scheme, seed):
    points, faces = random_case(scheme, seed)
    per_row, batch = both_ways(lambda: built(points, faces), SCHEMES[scheme][0](), [seed])
    assert batch == per_row
    assert not isinstance(batch, Exception)


@pytest.mark.parametrize("scheme, mesh, error", [
    ("loop_subdivide", grid, "dart 0 lies on a face of 4 corners, not 3"),
    ("doo_sabin", grid, "is free along alpha2: the surface is open"),
    ("dual", lambda: grid(triangles=True), "is free along alpha2: the surface is open"),
])
def test_wrong_input_is_refused_before_any_change(scheme, mesh, error):
    from test_batch import state

    gmap = built(*mesh())
    before = state(gmap)
    with pytest.raises(gorvinpy.RuleInputError, match=error):
        gorvinpy.apply(gmap, SCHEMES[scheme][0](), [0])
    assert state(gmap) == before


def test_an_open_face_is_refused():
    gmap = built(*cube())
    gmap.linkAlpha(0, 5)
    with pytest.raises(gorvinpy.RuleInputError, match="dart 4 is free along alpha0: its face is open"):
        gorvinpy.apply(gmap, gorvinpy.catmull_clark(), [0])


@pytest.mark.parametrize("dart", [0, 5, 17])
@pytest.mark.parametrize("scheme", ["catmull_clark", "loop_subdivide"])
def test_darts_of_one_vertex_with_their_own_positions_keep_their_own_points(scheme, dart):
    # rows of one cell share its first value only when every dart of the cell reads the same
    points, faces = grid(triangles=scheme == "loop_subdivide")

    def moved():
        gmap = built(points, faces)
        gorvinpy.set_position(gmap, dart, (0.25, -0.5, 2.0))
        return gmap

    per_row, batch = both_ways(moved, SCHEMES[scheme][0](), [0])
    assert batch == per_row
    assert not isinstance(batch, Exception)



def plain_surface_faults(gmap, hook, corners, closed):
    """surface_faults from the link table: the part and the faces as plain orbits."""
    links = gorvinpy._native.links(gmap)
    darts = sorted(next(orbit for orbit in orbits(gmap, range(4)) if hook in orbit))
    first = [next((x for x in darts if test(x)), -1) for test in (
        lambda x: links[x][0] == x, lambda x: links[x][1] == x,
        lambda x: links[x][3] != x, lambda x: closed and links[x][2] == x)]
    face = (-1, 0)
    if corners and first[0] < 0 and first[1] < 0:
        size = {x: len(face) // 2 for face in orbits(gmap, (0, 1)) for x in face}
        face = next(((x, size[x]) for x in darts if size[x] != corners), face)
    return (*first, *face)


@pytest.mark.parametrize("seed", range(8))
@pytest.mark.parametrize("corners, closed", [(0, True), (3, False), (4, True)])
def test_surface_faults_name_the_smallest_faulty_dart_of_the_part(seed, corners, closed):
    """Two parts, the second sound or not: a fault outside the hook's part is not the part's."""
    rng = random.Random(seed)
    gmap = built(*random_mesh(seed, 2))
    gmap.apply(gorvinpy.mesh(*(octahedron(seed) if seed % 2 else random_mesh(seed + 1, 2))))
    live = [x for x in range(len(gmap)) if gmap.exists(x)]
    for _ in range(seed % 3):  # open some faces: darts free along alpha0 or alpha1
        gmap.linkAlpha(rng.choice([0, 1]), rng.choice(live))
    for hook in (live[0], live[-1]):
        expected = plain_surface_faults(gmap, hook, corners, closed)
        assert gorvinpy._native.surface_faults(gmap, hook, corners, closed) == expected
