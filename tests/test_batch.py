"""gorvinpy.apply (expressions evaluated once for all rows) gives the G-map that gmap.apply gives,
dart for dart and value for value, and changes nothing when an evaluation raises."""

import random

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy import _native
from gorvinpy.geometry.point_rules import (
    Constant,
    PointRule,
    compile_ops,
    edge_midpoint,
    face_centre,
    position,
    volume_centre,
)
from gorvinpy.operations.batch import BatchExpression, Expression

SLOT_MEMBERS = ["ebd", "ebd0", "ebd1", "ebd2", "ebd3", "ebd01", "ebd02", "ebd03", "ebd12", "ebd13",
                "ebd23", "ebd012", "ebd013", "ebd023", "ebd123", "ebd0123"]


def state(gmap):
    """Links of every slot and the items of every slot dict of every live dart."""
    live = _native.live_mask(gmap)
    values = [
        [tuple(getattr(gmap, member)(dart).items()) for member in SLOT_MEMBERS] if live[dart] else None
        for dart in range(len(gmap))
    ]
    return _native.links(gmap).tolist(), values


def random_mesh(seed, k=4):
    """A k x k patch of jittered points cut into quads, some split into triangles and some merged
    into pentagons, with positions that are not exact binary fractions."""
    rng = random.Random(seed)
    points = [(i + rng.uniform(-0.3, 0.3), j + rng.uniform(-0.3, 0.3), rng.uniform(-1, 1) / 3)
              for j in range(k + 1) for i in range(k + 1)]
    faces = []
    for j in range(k):
        for i in range(k):
            a, b, c, d = j * (k + 1) + i, j * (k + 1) + i + 1, (j + 1) * (k + 1) + i + 1, (j + 1) * (k + 1) + i
            if rng.random() < 0.3:
                faces += [[a, b, c], [a, c, d]]
            else:
                faces.append([a, b, c, d])
    return points, faces


def built(points, faces):
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.mesh(points, faces))
    return gmap


def both_ways(make_gmap, rule, hooks=()):
    """The state after gmap.apply and after gorvinpy.apply (or the exception each raised)."""
    results = []
    for apply in (lambda g: g.apply(rule, list(hooks)), lambda g: gorvinpy.apply(g, rule, hooks)):
        gmap = make_gmap()
        before = state(gmap)
        try:
            apply(gmap)
        except Exception as error:  # noqa: BLE001 - both ways must fail alike
            assert state(gmap) == before
            results.append(type(error))
        else:
            results.append(state(gmap))
    return results


OPERATIONS = [
    ("insert_vertex", lambda: gorvinpy.insert_vertex(), 5),
    ("triangulate", lambda: gorvinpy.triangulate(), 0),
    ("triangulate one face", lambda: gorvinpy.triangulate((0, 1, 3)), 9),
    ("quad_subdivide", lambda: gorvinpy.quad_subdivide(), 3),
    ("thicken", lambda: gorvinpy.thicken(-0.3), 11),
    ("subdivide_volumes", lambda: gorvinpy.subdivide_volumes(), 2),
]


@pytest.mark.parametrize("name, operation, hook", OPERATIONS, ids=[o[0] for o in OPERATIONS])
@pytest.mark.parametrize("seed", range(3))
def test_library_operations_agree_on_random_meshes(name, operation, hook, seed):
    points, faces = random_mesh(seed)
    per_row, batch = both_ways(lambda: built(points, faces), operation(), [hook])
    assert batch == per_row
    assert len(batch[0]) > len(built(points, faces))


def random_closed_mesh(seed):
    """A cube whose faces are cut into quads, some of those into triangles, with jittered vertices."""
    rng = random.Random(seed)
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.cube(2.0))
    gmap.apply(gorvinpy.quad_subdivide(), [0])
    for dart in rng.sample(range(len(gmap)), 5):
        gmap.apply(gorvinpy.triangulate((0, 1, 3)), [dart])
    mesh = gorvinpy.to_mesh(gmap)
    points = [tuple(x + rng.uniform(-0.2, 0.2) for x in point) for point in mesh.points]
    return points, mesh.faces


SURFACE_OPERATIONS = [
    ("chamfer_vertices", lambda: gorvinpy.chamfer_vertices(0.3)),
    ("chamfer_edges", lambda: gorvinpy.chamfer_edges(0.2)),
    ("subdivide_volumes", lambda: gorvinpy.subdivide_volumes()),
    ("thicken", lambda: gorvinpy.thicken(0.15)),
]


@pytest.mark.parametrize("name, operation", SURFACE_OPERATIONS, ids=[o[0] for o in SURFACE_OPERATIONS])
@pytest.mark.parametrize("seed", range(3))
def test_shape_operations_agree_on_random_closed_meshes(name, operation, seed):
    points, faces = random_closed_mesh(seed)
    per_row, batch = both_ways(lambda: built(points, faces), operation(), [seed * 7])
    assert batch == per_row
    assert len(batch[0]) > len(built(points, faces))


def test_subdivided_volumes_agree_on_random_tetrahedra():
    rng = np.random.default_rng(4)
    points = rng.uniform(-1, 1, (6, 3))
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", np.array([[0, 1, 2, 3], [1, 2, 3, 4], [2, 3, 4, 5]]))

    def tetrahedra():
        gmap = gorvin.Modeler3D().make_gmap()
        gorvinpy.add_volumes(gmap, points, cells)
        return gmap

    per_row, batch = both_ways(tetrahedra, gorvinpy.subdivide_volumes(), [5])
    assert batch == per_row and len(batch[0]) == 8 * len(tetrahedra())


@pytest.mark.parametrize("rule", [
    gorvinpy.polygon([(0, 0, 0), (2, 0.1, 0), (2, 1, 0.3)]),
    gorvinpy.cube(1.5, (0.1, 0.2, 0.3)),
    gorvinpy.mesh(*random_mesh(7, 2)),
])
def test_builders_agree(rule):
    per_row, batch = both_ways(lambda: gorvin.Modeler3D().make_gmap(), rule)
    assert batch == per_row


def test_extrude_agrees_on_a_free_face():
    def square():
        return built([(0, 0, 0), (1.1, 0, 0), (1, 0.7, 0.2), (0, 1, 0)], [[0, 1, 2, 3]])

    per_row, batch = both_ways(square, gorvinpy.extrude((0.25, -0.5, 1.0 / 3)), [0])
    assert batch == per_row


def test_new_darts_read_dicts_of_their_own_made_when_first_read():
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, [(0, 0, 0), (2, 0, 0), (2, 2, 0), (0, 2, 0)], [[0, 1, 2, 3]])
    gorvinpy.apply(gmap, gorvinpy.triangulate(), [0])
    centre = [d for d in range(gmap.size()) if gorvinpy.position(gmap, d) == (1.0, 1.0, 0.0)]
    assert len(centre) == 8
    first, second = gmap.ebd123(centre[0]), gmap.ebd123(centre[1])
    assert first is not second and first["position"] is second["position"]
    gmap[centre[0]].set(gorvinpy.POSITION, (5.0, 5.0, 5.0))
    assert gmap.ebd123(centre[0]) is first and first["position"] == (5.0, 5.0, 5.0)
    assert gorvinpy.geometry.positions.positions(gmap, centre[1:]).tolist() == [[1.0, 1.0, 0.0]] * 7


def test_face_centre_is_one_value_for_the_whole_face():
    gmap = built(*random_mesh(1))
    face = sorted(gorvin.Orbit([0, 1])(gmap, 0))
    assert {face_centre(gmap, dart) for dart in face} == {face_centre(gmap, face[0])}
    assert _native.orbit_means(gmap, np.array(face), [0, 1]).tolist() == [list(face_centre(gmap, 0))] * len(face)


def random_point_rule(rng):
    orbits = [(), (0,), (0, 1), (0, 2), (1, 2), (0, 1, 2), (0, 1, 2, 3)]
    choice = rng.randrange(4)
    if choice == 0:
        return position
    if choice == 1:
        return Constant((rng.uniform(-2, 2), 0.5, -1.25))
    rule = PointRule([(rng.uniform(-1, 2), rng.choice(orbits), None) for _ in range(rng.randint(1, 3))])
    if choice == 3:
        rule = rule + (rng.uniform(-1, 1), 1.0 / 3, 0.0)
    return rule


def random_expressions(rng, node):
    """Point rules, batch expressions and plain callables, some sharing a slot or a name."""
    exprs = []
    for _ in range(rng.randint(0, 3)):
        kind = rng.randrange(3)
        if kind == 0:
            exprs.append(gorvin.Expr3DEbd123("position", Expression(random_point_rule(rng))))
        elif kind == 1:
            shift = rng.randrange(100)
            exprs.append(gorvin.Expr3DEbd01("mark", BatchExpression(lambda rows, s=shift: rows.right + s)))
        else:
            exprs.append(gorvin.Expr3DEbdDart(rng.choice("ab"), lambda ctx, n=node: (n, ctx.leftdart.id)))
    return exprs


def random_rule(rng):
    """A hook node with a random orbit; right nodes relabel it at random, are linked at random, and
    the hook is kept or dropped."""
    hook_orbit = rng.sample(range(4), rng.randint(1, 3))
    rule = gorvin.Rule3D("random")
    rule.make_leftnode("h", hook_orbit, True)
    names = (["h"] if rng.random() < 0.8 else []) + [f"r{i}" for i in range(rng.randint(1, 3))]
    for i, name in enumerate(names):
        orbit = [rng.choice([-1, 0, 1, 2, 3]) for _ in hook_orbit]
        rule.make_rightnode(name, orbit, random_expressions(rng, i))
    for _ in range(rng.randint(0, 3)):
        a, b = rng.sample(names, 2) if len(names) > 1 else (names[0], names[0])
        rule.linkRightNodes(rng.randrange(4), rule.rightnode(a), rule.rightnode(b))
    rule.compile()
    return rule


@pytest.mark.parametrize("seed", range(40))
def test_random_rules_with_random_expressions_agree(seed):
    rng = random.Random(seed)
    points, faces = random_mesh(seed, 3)
    rule = random_rule(rng)
    hook = rng.randrange(len(built(points, faces)))
    per_row, batch = both_ways(lambda: built(points, faces), rule, [hook])
    assert batch == per_row


def failing_batch(rows):
    raise ValueError("no values")


@pytest.mark.parametrize("expression, error", [
    (BatchExpression(failing_batch), ValueError),
    (BatchExpression(lambda rows: [1, 2]), ValueError),
    (lambda ctx: 1 / 0, ZeroDivisionError),
    (Expression(volume_centre + (1, 2, 3)), KeyError),
])
def test_a_failing_evaluation_changes_nothing(expression, error):
    gmap = built(*random_mesh(2))
    gmap.ebd123(5).clear()  # no position: the orbit mean fails on it
    failing = gorvin.Rule3D("failing")
    failing.make_leftnode("n0", [0, 1, 2, 3], True)
    failing.make_rightnode("n0", [0, 1, 2, 3])
    failing.make_rightnode("extra", [-1, -1, -1, -1], [gorvin.Expr3DEbd123("position", expression)])
    failing.compile()
    before = state(gmap)
    with pytest.raises(error):
        gorvinpy.apply(gmap, failing, [0])
    assert state(gmap) == before


def test_point_rules_combine_and_read_other_left_nodes():
    gmap = built(*random_mesh(3))
    mid = 0.5 * position + 0.5 * edge_midpoint - (1, 1, 1)
    p, m = gorvinpy.position(gmap, 4), edge_midpoint(gmap, 4)
    assert mid(gmap, 4) == tuple(0.5 * a + 0.5 * b - 1 for a, b in zip(p, m))
    assert compile_ops(edge_midpoint.of(0), 3) == [("orbit_mean", (0,)), ("of", 0, 0), ("number", 1.0), ("scale", 2, 1)]
    with pytest.raises(TypeError, match="inside a rule"):
        edge_midpoint.of(0)(gmap, 4)


def test_dict_hooks_name_hook_nodes():
    points, faces = random_mesh(4, 2)
    per_row, batch = both_ways(lambda: built(points, faces), gorvinpy.quad_subdivide(), [0])
    gmap = built(points, faces)
    gorvinpy.apply(gmap, gorvinpy.quad_subdivide(), {"n0": 0})
    assert state(gmap) == batch == per_row
    with pytest.raises(KeyError, match="'corner' names no hook node"):
        gorvinpy.apply(gmap, gorvinpy.triangulate(), {"corner": 0})
