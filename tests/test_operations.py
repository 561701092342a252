"""The rule library: cell counts, sound links, and every vertex where it belongs."""

import math

import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy.geometry.point_rules import position

CUBE_CORNERS = {(x, y, z) for x in (-1.0, 1.0) for y in (-1.0, 1.0) for z in (-1.0, 1.0)}
PENTAGON = [(math.cos(2 * math.pi * i / 5), math.sin(2 * math.pi * i / 5), 0.0) for i in range(5)]


def close(p, q):
    return all(math.isclose(a, b, abs_tol=1e-12) for a, b in zip(p, q))


def vertices(gmap):
    """{vertex representative: position}, checking that every dart of a vertex holds the same position."""
    labels = gorvin.Islet([1, 2, 3])(gmap)
    found = {}
    for dart in gorvinpy.live_darts(gmap):
        point = position(gmap, dart)
        assert close(found.setdefault(labels[dart], point), point), f"dart {dart} is off its vertex"
    return found


def faces(gmap):
    """Each face as its list of corner positions, in walk order."""
    mesh = gorvinpy.to_mesh(gmap)
    return [[mesh.points[i] for i in face] for face in mesh.faces]


def centroid(points):
    return tuple(sum(p[axis] for p in points) / len(points) for axis in range(3))


def assert_sound(gmap, counts):
    assert gorvinpy.check_gmap(gmap) == []
    found = gorvinpy.cell_counts(gmap)
    assert (found.vertices, found.edges, found.faces) == counts
    slot_dicts = {id(gmap.ebd123(dart)) for dart in gorvinpy.live_darts(gmap)}
    assert len(slot_dicts) == len(gorvinpy.live_darts(gmap)), "darts share a position dict"


@pytest.fixture
def cube(gmap):
    gmap.apply(gorvinpy.cube(size=2.0))
    return gmap


def free_darts(gmap, dim):
    return [d for d in gorvinpy.live_darts(gmap) if gmap.alpha(d, dim).id == d]


def test_polygon_is_one_face_with_its_corners_in_order(gmap):
    gmap.apply(gorvinpy.polygon(PENTAGON))
    assert_sound(gmap, (5, 5, 1))
    (face,) = faces(gmap)
    start = next(i for i, p in enumerate(PENTAGON) if close(p, face[0]))
    forwards = PENTAGON[start:] + PENTAGON[:start]
    backwards = forwards[:1] + forwards[:0:-1]
    assert any(all(close(p, q) for p, q in zip(face, way)) for way in (forwards, backwards))
    assert len(free_darts(gmap, 2)) == 10


def test_cube_is_a_closed_box_with_square_faces(cube):
    assert_sound(cube, (8, 12, 6))
    assert set(vertices(cube).values()) == CUBE_CORNERS
    assert free_darts(cube, 2) == [] and gorvinpy.cell_counts(cube).volumes == 1
    for face in faces(cube):
        assert sum(len({p[axis] for p in face}) == 1 for axis in range(3)) == 1
        assert all(math.dist(face[i], face[i - 1]) == 2.0 for i in range(4))


def test_cube_size_and_centre_move_the_corners(gmap):
    gmap.apply(gorvinpy.cube(size=0.5, centre=(10, 0, -1)))
    assert set(vertices(gmap).values()) == {(10 + x / 4, y / 4, -1 + z / 4) for x, y, z in CUBE_CORNERS}


def test_insert_vertex_splits_one_edge_at_its_middle(cube):
    dart = 0
    ends = position(cube, dart), position(cube, cube.alpha(dart, 0).id)
    cube.apply(gorvinpy.insert_vertex(), [dart])
    assert_sound(cube, (9, 13, 6))
    new = [p for p in vertices(cube).values() if p not in CUBE_CORNERS]
    assert new == [centroid(ends)]
    assert sorted(len(face) for face in faces(cube)) == [4, 4, 4, 4, 5, 5]


def test_insert_vertex_twice_in_a_triangle_edge(gmap):
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (4, 0, 0), (0, 4, 0)]))
    gmap.apply(gorvinpy.insert_vertex(), [0])
    gmap.apply(gorvinpy.insert_vertex(), [0])
    assert_sound(gmap, (5, 5, 1))
    assert sorted(vertices(gmap).values()) == [
        (0, 0, 0),
        (0, 4, 0),
        (1.0, 0.0, 0.0),
        (2.0, 0.0, 0.0),
        (4, 0, 0),
    ]


def test_triangulate_puts_a_vertex_at_every_face_centre(cube):
    centres = {centroid(face) for face in faces(cube)}
    cube.apply(gorvinpy.triangulate(), [5])
    assert_sound(cube, (14, 36, 24))
    assert set(vertices(cube).values()) == CUBE_CORNERS | centres
    for face in faces(cube):
        assert (
            len(face) == 3
            and sum(p in centres for p in face) == 1
            and sum(p in CUBE_CORNERS for p in face) == 2
        )


def test_triangulate_one_face_only(cube):
    cube.apply(gorvinpy.triangulate(orbit=(0, 1, 3)), [0])
    assert_sound(cube, (9, 16, 9))
    assert sorted(len(face) for face in faces(cube)) == [3] * 4 + [4] * 5


def test_triangulate_a_pentagon_around_its_centroid(gmap):
    gmap.apply(gorvinpy.polygon(PENTAGON))
    gmap.apply(gorvinpy.triangulate(), [3])
    assert_sound(gmap, (6, 10, 5))
    centre = [p for p in vertices(gmap).values() if not any(close(p, q) for q in PENTAGON)]
    assert len(centre) == 1 and close(centre[0], (0.0, 0.0, 0.0))


def test_triangulate_refuses_an_orbit_without_a_face():
    with pytest.raises(ValueError, match="must hold"):
        gorvinpy.triangulate(orbit=(0, 2, 3))


def test_extrude_a_square_into_a_closed_box(gmap):
    square = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
    gmap.apply(gorvinpy.polygon(square))
    gmap.apply(gorvinpy.extrude((0, 0, 3)), [0])
    assert_sound(gmap, (8, 12, 6))
    assert free_darts(gmap, 2) == [] and gorvinpy.cell_counts(gmap).volumes == 1
    assert set(vertices(gmap).values()) == {(x, y, z) for x, y, _ in square for z in (0.0, 3.0)}
    mesh = gorvinpy.to_mesh(gmap)
    assert sorted(len(face) for face in mesh.faces) == [4] * 6


def test_extrude_a_triangle_gives_a_prism(gmap):
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (0, 1, 0)]))
    gmap.apply(gorvinpy.extrude((1, 1, 1)), [2])
    assert_sound(gmap, (6, 9, 5))
    assert sorted(len(face) for face in faces(gmap)) == [3, 3, 4, 4, 4]


def test_quad_subdivide_cuts_every_face_into_quadrangles(cube):
    midpoints = set()
    for face in faces(cube):
        midpoints |= {centroid((face[i - 1], face[i])) for i in range(4)}
    centres = {centroid(face) for face in faces(cube)}
    cube.apply(gorvinpy.quad_subdivide(), [0])
    assert_sound(cube, (26, 48, 24))
    assert set(vertices(cube).values()) == CUBE_CORNERS | midpoints | centres
    for face in faces(cube):
        assert len(face) == 4
        assert [p in CUBE_CORNERS for p in face].count(True) == 1 and [p in centres for p in face].count(
            True
        ) == 1


def test_quad_subdivide_keeps_an_open_border_open(gmap):
    gmap.apply(gorvinpy.polygon(PENTAGON))
    gmap.apply(gorvinpy.quad_subdivide(), [0])
    assert_sound(gmap, (11, 15, 5))
    assert gorvinpy.euler_characteristic(gmap) == 1
    assert len(free_darts(gmap, 2)) == 20


def test_operations_chain_keeps_a_sound_sphere(cube):
    cube.apply(gorvinpy.triangulate(), [0])
    cube.apply(gorvinpy.quad_subdivide(), [0])
    assert_sound(cube, (74, 144, 72))
    assert gorvinpy.euler_characteristic(cube) == 2


def test_mesh_refuses_bad_faces():
    with pytest.raises(ValueError, match="3 or more vertex indices below 3"):
        gorvinpy.mesh([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [[0, 1, 3]])
    with pytest.raises(ValueError):
        gorvinpy.polygon([(0, 0, 0), (1, 0, 0)])
