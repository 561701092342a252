"""Modelling operations written as rules, checked by the topology they leave."""
import pytest

from engine_rules import counts, is_involution, make_rule, orbits, square_grid, triangulation
from gmap_helpers import square_face


def face_from_nothing(corners):
    """A closed face of 2 * corners darts, made without hooks."""
    names = [f"n{i}" for i in range(2 * corners)]
    return make_rule(
        right=[(name, []) for name in names],
        right_links=[(i % 2, names[i], names[(i + 1) % len(names)]) for i in range(len(names))],
    )


# Each dart a gets its own edge below (b), the vertical edges (c, d), the edge above (e) and the
# top face (f); the side faces are sewn along the vertical edges.
EXTRUSION = dict(
    left=[("a", [0, 1], True)],
    right=[("a", [0, 1]), ("b", [0, -1]), ("c", [-1, 2]), ("d", [-1, 2]), ("e", [0, -1]), ("f", [0, 1])],
    right_links=[(2, "a", "b"), (1, "b", "c"), (0, "c", "d"), (1, "d", "e"), (2, "e", "f")],
)

# Splits the hooked edge: every dart of the edge orbit gets a new dart beyond a new vertex.
VERTEX_IN_EDGE = dict(
    left=[("a", [0, 2, 3], True)], right=[("a", [-1, 2, 3]), ("b", [1, 2, 3])], right_links=[(0, "a", "b")]
)


@pytest.mark.parametrize("corners", [1, 3, 5])
def test_building_a_face_from_nothing(gmap, corners):
    rule = face_from_nothing(corners)
    gmap.apply(rule)
    gmap.apply(rule)
    assert len(gmap) == 4 * corners
    assert sorted(len(f) for f in orbits(gmap, [0, 1])) == [2 * corners] * 2
    assert is_involution(gmap)


def test_triangulating_one_face(gmap):
    square_face(gmap)
    gmap.apply(triangulation(), [0])
    assert len(gmap) == 24
    assert counts(gmap) == (5, 8, 4)
    assert all(len(face) == 6 for face in orbits(gmap, [0, 1]))
    assert is_involution(gmap)


@pytest.mark.parametrize("k", [1, 3])
def test_triangulating_a_whole_surface(gmap, k):
    square_grid(gmap, k)
    gmap.apply(triangulation(), [8 * k * k - 1])
    vertices, edges, faces = counts(gmap)
    assert (vertices, edges, faces) == ((k + 1) ** 2 + k * k, 2 * k * (k + 1) + 4 * k * k, 4 * k * k)
    assert all(len(face) == 6 for face in orbits(gmap, [0, 1]))
    assert is_involution(gmap)


def test_inserting_a_vertex_in_a_shared_edge(gmap):
    square_grid(gmap, 2)
    vertices, edges, faces = counts(gmap)
    gmap.apply(make_rule(**VERTEX_IN_EDGE), [2])
    assert counts(gmap) == (vertices + 1, edges + 1, faces)
    assert len(gmap) == 32 + 4
    assert sorted(len(f) for f in orbits(gmap, [0, 1])) == [8, 8, 10, 10]
    assert is_involution(gmap)


def test_extruding_a_face_closes_a_box_that_triangulates(gmap):
    square_face(gmap)
    gmap.apply(make_rule(**EXTRUSION), [0])
    assert len(gmap) == 48
    assert counts(gmap) == (8, 12, 6)
    assert all(gmap.a(i, 2).id != i for i in range(48))
    gmap.apply(triangulation(), [0])
    vertices, edges, faces = counts(gmap)
    assert (vertices, edges, faces) == (14, 36, 24) and vertices - edges + faces == 2
    assert is_involution(gmap)
