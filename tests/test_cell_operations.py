"""Cell operations against the plain-list surfaces of surface_model.py (the operations by their
definitions): same faces and positions within 1e-9, cell counts by formula, sound G-maps; the same
G-map through gorvinpy.apply and gmap.apply; wrong places refused before any change."""

import os
import random

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
import sample_surfaces as surfaces
import surface_model as model
from gorvinpy import _native
from sample_surfaces import GEOMVIEW
from test_batch import both_ways, built, random_mesh, state
from test_public_meshes import MESHES as GEOMVIEW_MESHES


def cube():
    return surfaces.cube()


def grid(k=4, j=3, triangles=False):
    return surfaces.grid(k, j, triangles, seed=k * 10 + j)


def closed_triangles():
    points, quads = cube()
    return points, [tri for a, b, c, d in quads for tri in ([a, b, c], [a, c, d])]


@pytest.fixture(scope="module")
def elephant():
    if not surfaces.ELEPHANT.is_file() and os.environ.get("CI"):
        pytest.fail(f"{surfaces.ELEPHANT} is missing: run scripts/mesh-data.sh")
    return surfaces.elephant_surface()


SURFACES = {
    "cube": cube,
    "quad grid": grid,
    "closed triangles": closed_triangles,
    "open triangles": lambda: grid(triangles=True),
}


@pytest.fixture(params=[*SURFACES, "elephant"])
def surface(request):
    if request.param == "elephant":
        return request.getfixturevalue("elephant")
    points, faces = SURFACES[request.param]()
    return [tuple(map(float, p)) for p in points], faces


def gmap_of(points, faces):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, points, faces)
    return gmap


def step(gmap, dart, *dims):
    for dim in dims:
        dart = gmap.alpha(dart, dim).id
    return dart


class Places:
    """Darts of a G-map read as the model's vertices and faces, through their positions."""

    def __init__(self, gmap, points):
        self.gmap = gmap
        self.index = {tuple(p): i for i, p in enumerate(points)}

    def vertex(self, dart):
        return self.index[tuple(gorvinpy.geometry.positions.positions(self.gmap, [dart])[0])]

    def edge(self, dart):
        return self.vertex(dart), self.vertex(step(self.gmap, dart, 0))

    def face(self, faces, dart):
        corners = {self.vertex(d) for d in gorvin.Orbit([0, 1])(self.gmap, dart)}
        return model.face_with_corners(faces, corners)


def assert_same_surface(gmap, points, faces):
    """gmap holds the model's faces, its vertices within 1e-9 of the model's points, every dart of
    a vertex at one position, and no link fault."""
    assert gorvinpy.check_gmap(gmap) == []
    live = np.flatnonzero(_native.live_mask(gmap))
    at = gorvinpy.geometry.positions.positions(gmap, live)
    vertex = _native.cell_labels(gmap, [1, 2, 3])[live]
    where = np.searchsorted(live, vertex)
    assert np.array_equal(at, at[where]), "the darts of a vertex disagree on its position"
    mesh = gorvinpy.to_mesh(gmap)
    used = sorted({v for face in faces for v in face})
    reference = np.array([points[v] for v in used])
    by_key = dict(zip(map(tuple, np.round(reference, 6).tolist()), used))
    names = [by_key[key] for key in map(tuple, np.round(mesh.coordinates, 6).tolist())]
    assert sorted(names) == used
    assert np.abs(mesh.coordinates - np.array([points[v] for v in names])).max() <= 1e-9
    assert sorted(map(canonical, ([names[v] for v in face] for face in mesh.faces))) == sorted(map(canonical, faces))


def canonical(face):
    """The face's cycle from its smallest corner, in the direction of the smaller next corner."""
    first = face.index(min(face))
    turned = face[first:] + face[:first]
    return tuple(min(turned, turned[:1] + turned[:0:-1]))


def counts(gmap):
    c = gorvinpy.cell_counts(gmap)
    return np.array([c.vertices, c.edges, c.faces])


def interior_dart(gmap, start=0):
    links = _native.links(gmap)
    return next(d for d in range(start, len(gmap)) if links[d, 2] != d)


def boundary_dart(gmap):
    links = _native.links(gmap)
    live = _native.live_mask(gmap)
    return next(d for d in range(len(gmap)) if live[d] and links[d, 2] == d)


def corner_pair(gmap, dart):
    """Two darts of dart's face, turned the same way, at corners two apart (one apart on triangles)."""
    apart = 2 if len(gorvin.Orbit([0, 1])(gmap, dart)) >= 8 else 1
    return [dart, step(gmap, dart, *(0, 1) * apart)]


def test_insert_edge(surface):
    points, faces = surface
    gmap = gmap_of(points, faces)
    places, before = Places(gmap, points), counts(gmap)
    hooks = corner_pair(gmap, len(gmap) // 2)
    expected = model.insert_edge(points, faces, places.face(faces, hooks[0]), *map(places.vertex, hooks))
    gorvinpy.apply(gmap, gorvinpy.insert_edge(), hooks)
    assert (counts(gmap) - before).tolist() == [0, 1, 1]
    assert_same_surface(gmap, *expected)


def test_remove_edge(surface):
    points, faces = surface
    gmap = gmap_of(points, faces)
    places, before = Places(gmap, points), counts(gmap)
    dart = interior_dart(gmap, len(gmap) // 3)
    expected = model.remove_edge(points, faces, *places.edge(dart))
    gorvinpy.apply(gmap, gorvinpy.remove_edge(), [dart])
    assert (counts(gmap) - before).tolist() == [0, -1, -1]
    assert_same_surface(gmap, *expected)


@pytest.mark.parametrize("where", ["interior", "boundary"])
def test_contract_edge(surface, where):
    points, faces = surface
    gmap = gmap_of(points, faces)
    places, before = Places(gmap, points), counts(gmap)
    dart = interior_dart(gmap, len(gmap) // 2) if where == "interior" else boundary_dart_or_skip(gmap)
    expected = model.contract_edge(points, faces, *places.edge(dart))
    gorvinpy.apply(gmap, gorvinpy.contract_edge(gmap, dart), [dart])
    assert (counts(gmap) - before).tolist() == [-1, -1, 0]
    assert_same_surface(gmap, *expected)


def boundary_dart_or_skip(gmap):
    try:
        return boundary_dart(gmap)
    except StopIteration:
        pytest.skip("a closed surface has no boundary")


def test_remove_vertex_of_an_inserted_vertex(surface):
    points, faces = surface
    gmap = gmap_of(points, faces)
    places, dart = Places(gmap, points), len(gmap) // 4
    first_new = len(gmap)
    widened = model.insert_vertex(points, faces, *places.edge(dart))
    gorvinpy.apply(gmap, gorvinpy.insert_vertex(), [dart])
    assert_same_surface(gmap, *widened)
    before = counts(gmap)
    gorvinpy.apply(gmap, gorvinpy.remove_vertex(), [first_new])
    assert (counts(gmap) - before).tolist() == [-1, -1, 0]
    assert_same_surface(gmap, *model.remove_vertex(*widened, len(points)))


def test_remove_vertex_at_a_grid_corner():
    points, faces = grid()
    gmap = gmap_of(points, faces)
    corner = next(d for d in range(len(gmap)) if len(gorvin.Orbit([1, 2, 3])(gmap, d)) == 2)
    expected = model.remove_vertex(points, faces, Places(gmap, points).vertex(corner))
    gorvinpy.apply(gmap, gorvinpy.remove_vertex(), [corner])
    assert_same_surface(gmap, *expected)


def test_remove_face_then_fill_hole(surface):
    points, faces = surface
    gmap = gmap_of(points, faces)
    places, before, dart = Places(gmap, points), counts(gmap), len(gmap) // 5
    face = sorted(gorvin.Orbit([0, 1, 3])(gmap, dart))
    links = _native.dart_links(gmap, face)
    lonely = sum(set(gorvin.Orbit([1, 2, 3])(gmap, d)) <= set(face) for d in face) // 2
    open_edges = int((links[:, 2] == face).sum()) // 2
    opened = model.remove_face(points, faces, places.face(faces, dart))
    gorvinpy.apply(gmap, gorvinpy.remove_face(), [dart])
    assert (counts(gmap) - before).tolist() == [-lonely, -open_edges, -1]
    assert_same_surface(gmap, *opened)

    hole = boundary_dart(gmap)
    closed = model.fill_hole(*opened, *places.edge(hole))
    before = counts(gmap)
    gorvinpy.apply(gmap, gorvinpy.fill_hole(gmap, hole), [hole])
    assert (counts(gmap) - before).tolist() == [0, 0, 1]
    assert_same_surface(gmap, *closed)


def test_insert_then_remove_edge_gives_the_surface_back():
    points, faces = grid()
    gmap = gmap_of(points, faces)
    hooks = corner_pair(gmap, 9)
    new_dart = len(gmap)
    gorvinpy.apply(gmap, gorvinpy.insert_edge(), hooks)
    gorvinpy.apply(gmap, gorvinpy.remove_edge(), [new_dart])
    assert_same_surface(gmap, points, faces)


def random_places(gmap, rng):
    """A hook list for each operation, at random darts of a random mesh."""
    darts = range(len(gmap))
    interior = [d for d in darts if step(gmap, d, 2) != d]
    boundary = [d for d in darts if step(gmap, d, 2) == d]
    corner = rng.choice(darts)
    return {
        "insert_edge": corner_pair(gmap, corner),
        "remove_edge": [rng.choice(interior)],
        "contract_edge": [rng.choice(interior)],
        "remove_face": [rng.choice(darts)],
        "fill_hole": [rng.choice(boundary)],
    }


FIXED = {"insert_edge": gorvinpy.insert_edge, "remove_edge": gorvinpy.remove_edge, "remove_face": gorvinpy.remove_face}
MADE_FOR_THE_PLACE = {"contract_edge": gorvinpy.contract_edge, "fill_hole": gorvinpy.fill_hole}


@pytest.mark.parametrize("seed", range(3))
@pytest.mark.parametrize("name", [*FIXED, *MADE_FOR_THE_PLACE, "remove_vertex"])
def test_batch_and_per_row_applications_agree(name, seed):
    points, faces = random_mesh(seed)
    make = lambda: built(points, faces)  # noqa: E731
    gmap = make()
    if name == "remove_vertex":
        dart = random.Random(seed).randrange(len(gmap))
        gmap.apply(gorvinpy.insert_vertex(), [dart])
        make = lambda: _with_vertex(points, faces, dart)  # noqa: E731
        rule, hooks = gorvinpy.remove_vertex(), [len(gmap) - 1]
    else:
        hooks = random_places(gmap, random.Random(seed))[name]
        rule = FIXED[name]() if name in FIXED else MADE_FOR_THE_PLACE[name](gmap, hooks[0])
    per_row, batch = both_ways(make, rule, hooks)
    assert not isinstance(batch, type) and batch == per_row


def _with_vertex(points, faces, dart):
    gmap = built(points, faces)
    gmap.apply(gorvinpy.insert_vertex(), [dart])
    return gmap


def two_tetrahedra():
    points = np.array([(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 1)], dtype=float)
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", np.array([[0, 1, 2, 3], [1, 2, 3, 4]]))
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_volumes(gmap, points, cells)
    return gmap


def dangling_edge_grid():
    """A 2 x 2 grid whose centre keeps one of its four edges: the other three are removed, so one
    face holds that edge, which ends at the centre."""
    points, faces = grid(2, 2)
    gmap = gmap_of(points, faces)
    for _ in range(3):
        at_centre = np.flatnonzero(_native.live_mask(gmap))
        at_centre = at_centre[(gorvinpy.geometry.positions.positions(gmap, at_centre) == points[4]).all(axis=1)]
        for dart in at_centre.tolist():
            try:
                gorvinpy.apply(gmap, gorvinpy.remove_edge(), [dart])
                break
            except gorvinpy.RuleInputError:
                continue
    return gmap


def cube_gmap():
    return gmap_of(*cube())


WRONG_PLACES = [
    ("insert_edge: two faces", cube_gmap, lambda g: (gorvinpy.insert_edge(), [0, step(g, 0, 2)]), "is not in the face"),
    ("insert_edge: turned the other way", cube_gmap,
     lambda g: (gorvinpy.insert_edge(), [0, step(g, 0, 0, 1, 0)]), "turns the other way round the face"),
    ("insert_edge: one dart", cube_gmap, lambda g: (gorvinpy.insert_edge(), [0, 0]), "is both corners"),
    ("remove_edge: boundary", lambda: gmap_of(*grid()), lambda g: (gorvinpy.remove_edge(), [1]),
     "dart 1: its edge is on the boundary"),
    ("remove_edge: one face on both sides", dangling_edge_grid,
     lambda g: (gorvinpy.remove_edge(), [dangling(g)]), "the same face on both sides"),
    ("remove_edge: three faces", two_tetrahedra,
     lambda g: (gorvinpy.remove_edge(), [shared_face_dart(g)]), "more than two faces"),
    ("remove_vertex: three edges", cube_gmap, lambda g: (gorvinpy.remove_vertex(), [0]), "more than two edges"),
    ("remove_vertex: one edge", dangling_edge_grid,
     lambda g: (gorvinpy.remove_vertex(), [dangling(g)]), "has one edge"),
    ("fill_hole: no boundary", cube_gmap, lambda g: (gorvinpy.fill_hole(g, 0), [0]), "is not on a boundary"),
    ("contract_edge: end of no other edge", dangling_edge_grid,
     lambda g: (gorvinpy.contract_edge(g, dangling(g)), [0]), "ends at a vertex of no other edge"),
    ("contract_edge: both ends on the boundary", lambda: gmap_of(*grid(2, 1)),
     lambda g: (gorvinpy.contract_edge(g, interior_dart(g)), [interior_dart(g)]), "would pinch the surface"),
    ("fill_hole: sewn along alpha3", two_tetrahedra, lambda g: (gorvinpy.fill_hole(g, hole_on_shared_face(g)), [0]),
     "its hole is sewn along alpha3"),
    ("a rule made for another dart", cube_gmap, lambda g: (gorvinpy.contract_edge(g, 0), [5]), "made for dart 0"),
    ("a rule made before a change", cube_gmap, lambda g: (changed_after(g, gorvinpy.contract_edge(g, 0)), [0]),
     "links changed since the rule was made"),
]


def dangling(gmap):
    """A dart at the free end of the dangling edge (its vertex holds only that edge)."""
    live = np.flatnonzero(_native.live_mask(gmap))
    return next(int(d) for d in live if step(gmap, d, 1) == step(gmap, d, 2) != d)


def shared_face_dart(gmap):
    return next(d for d in range(len(gmap)) if step(gmap, d, 3) != d)


def hole_on_shared_face(gmap):
    """Removes a face beside the face the two volumes share; returns a dart of the hole's loop on it."""
    shared = shared_face_dart(gmap)
    gmap.apply(gorvinpy.remove_face(), [step(gmap, shared, 2)])
    return next(d for d in range(len(gmap)) if gmap.exists(d) and step(gmap, d, 2) == d != step(gmap, d, 3))


def changed_after(gmap, rule):
    gorvinpy.apply(gmap, gorvinpy.insert_vertex(), [0])
    return rule


@pytest.mark.parametrize("make, place, message", [w[1:] for w in WRONG_PLACES], ids=[w[0] for w in WRONG_PLACES])
def test_wrong_places_are_refused_naming_the_dart(make, place, message):
    gmap = make()
    try:
        rule, hooks = place(gmap)
    except gorvinpy.RuleInputError as error:  # a rule made for the place refuses it when made
        assert message in str(error) and "dart " in str(error)
        return
    before = state(gmap)
    with pytest.raises(gorvinpy.RuleInputError, match=message) as error:
        gorvinpy.apply(gmap, rule, hooks)
    assert "dart " in str(error.value)
    assert state(gmap) == before


def test_faces_of_volumes_stay_sewn():
    gmap = two_tetrahedra()
    shared = shared_face_dart(gmap)
    hooks = corner_pair(gmap, shared)
    faces = gorvinpy.cell_counts(gmap).faces
    gorvinpy.apply(gmap, gorvinpy.insert_edge(), hooks)
    assert gorvinpy.check_gmap(gmap) == [] and gorvinpy.cell_counts(gmap).faces == faces + 1
    across = len(gmap) - 1
    assert step(gmap, across, 3) != across
    gorvinpy.apply(gmap, gorvinpy.remove_edge(), [across])
    assert gorvinpy.check_gmap(gmap) == [] and gorvinpy.cell_counts(gmap).faces == faces


# Geomview's sample OFF meshes of three dimensions: closed surfaces, open ones and sets of loose faces.
GEOMVIEW_OFF = sorted({*GEOMVIEW_MESHES, "abstr.off", "br2.off", "cam.off", "cone.off", "dodec2.off",
                       "facecube.off", "hdodec.off", "tref.off", "unitcube.off", "vertcube.off"})
CHAINS = {
    "insert_edge": [lambda g, d: (gorvinpy.insert_edge(), corner_pair(g, d))],
    "remove_edge": [lambda g, d: (gorvinpy.remove_edge(), [d])],
    "contract_edge": [lambda g, d: (gorvinpy.contract_edge(g, d), [d])],
    "remove_vertex": [lambda g, d: (gorvinpy.insert_vertex(), [d]),
                      lambda g, d: (gorvinpy.remove_vertex(), [len(g) - 1])],
    "remove_face, fill_hole": [lambda g, d: (gorvinpy.remove_face(), [d]),
                               lambda g, d: (gorvinpy.fill_hole(g, d), [d])],
}


def apply_somewhere(gmap, make):
    """Applies make(gmap, dart) at the first live dart whose place fits; False when none does."""
    for dart in np.flatnonzero(_native.live_mask(gmap)).tolist():
        try:
            rule, hooks = make(gmap, dart)
            gorvinpy.apply(gmap, rule, hooks)
            return True
        except gorvinpy.RuleInputError:
            continue
    return False


@pytest.mark.parametrize("name", GEOMVIEW_OFF)
@pytest.mark.parametrize("chain", CHAINS.values(), ids=list(CHAINS))
def test_every_operation_keeps_public_meshes_sound(name, chain):
    if not GEOMVIEW.is_dir():
        pytest.skip("Debian's geomview package is not installed")
    gmap = gorvinpy.import_mesh(GEOMVIEW / name)
    euler = gorvinpy.euler_characteristic(gmap)
    for make in chain:
        if not apply_somewhere(gmap, make):
            pytest.skip(f"no place of {name} fits")
        assert gorvinpy.check_gmap(gmap) == []
    assert gorvinpy.euler_characteristic(gmap) == euler


@pytest.mark.parametrize("name, expected", [
    ("contract_edge", (4, 8, 7, 2)),  # the edge's two triangles become 2-gons
    ("remove_vertex", (5, 9, 7, 2)),
    ("remove_face", (8, 12, 6, 2)),  # the shared face goes from both volumes, which come apart
])
def test_operations_on_sewn_volumes(name, expected):
    gmap = two_tetrahedra()
    dart = shared_face_dart(gmap)
    if name == "remove_vertex":
        gmap.apply(gorvinpy.insert_vertex(), [dart])
        dart = len(gmap) - 1
    rule = gorvinpy.contract_edge(gmap, dart) if name == "contract_edge" else getattr(gorvinpy, name)()
    gorvinpy.apply(gmap, rule, [dart])
    c = gorvinpy.cell_counts(gmap)
    assert (c.vertices, c.edges, c.faces, c.volumes) == expected
    assert gorvinpy.check_gmap(gmap) == []


def test_dart_links_reads_the_given_darts_and_checks_their_ids():
    gmap = cube_gmap()
    assert (_native.dart_links(gmap, [5, 0, 47]) == _native.links(gmap)[[5, 0, 47]]).all()
    for bad in (48, -1):
        with pytest.raises(IndexError, match=f"dart {bad} is not a slot"):
            _native.dart_links(gmap, [0, bad])


@pytest.mark.parametrize("operation", [gorvinpy.insert_edge, gorvinpy.remove_edge, gorvinpy.remove_vertex])
@pytest.mark.parametrize("hooks", [[], [0, 1, 2]])
def test_a_wrong_number_of_hooks_is_the_engines_error(operation, hooks):
    gmap = cube_gmap()
    before = state(gmap)
    with pytest.raises(RuntimeError, match="unknown exception"):
        gorvinpy.apply(gmap, operation(), hooks)
    assert state(gmap) == before
