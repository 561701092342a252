"""The point-rule language: native evaluation (gorvinpy.apply) stores the floats the per-row
evaluation (gmap.apply) stores, for rules using every kind of term, and fails alike."""

import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy import cross, dot, face_normal, is_free, mean, normalized, orbit_size, vertex_normal, weight, where
from gorvinpy.geometry.point_rules import OrbitMean, edge_midpoint, face_centre, position
from test_batch import both_ways, built, random_mesh

RULES = {
    "at": position.at(0, 1, 0),
    "mean of derived": mean(position.at(0), (1, 2)),
    "free and linked": where(is_free(2, (1, 2)), mean(position.at(0), (1, 2), free=2),
                             mean(face_centre, (1, 2), linked=2)),
    "weights": weight(lambda n: 1 / n, (1, 2)) * position + (orbit_size((0, 1)) - 2) * edge_midpoint / 3,
    "scalar where": where(is_free(2), 1.5, orbit_size((0,))) * face_centre,
    "normals": face_normal + 0.5 * vertex_normal,
    "products": normalized(cross(position - face_centre, edge_midpoint)) * dot(position, face_centre),
    "negation": -position + (1, 2, 3),
    "walk in a sum": 0.7 * position + 0.3 * position.at(0),
    "pair means": where(is_free(2), OrbitMean((1,), "m1"), mean(edge_midpoint, (0, 2)) + OrbitMean((2,), "m2"))
    + orbit_size((0, 1)) * OrbitMean((3,), "m3"),
}

def apply_rule(point_rule):
    rule = gorvin.Rule3D("p")
    rule.make_leftnode("n0", [0, 1, 2, 3], True)
    rule.make_rightnode("n0", [0, 1, 2, 3])
    rule.make_rightnode("extra", [-1, -1, -1, -1], [gorvinpy.position_expression(point_rule)])
    rule.compile()
    return rule

@pytest.mark.parametrize("seed", range(3))
@pytest.mark.parametrize("name", sorted(RULES))
def test_native_and_per_row_store_the_same_floats(name, seed):
    points, faces = random_mesh(seed, 3)
    per_row, batch = both_ways(lambda: built(points, faces), apply_rule(RULES[name]), [0])
    assert not isinstance(batch, Exception) and batch == per_row

def test_a_weight_is_called_once_per_orbit_size_natively():
    sizes = []
    rule = apply_rule(weight(lambda n: sizes.append(n) or 1.0, (1, 2)) * position)
    gmap = built(*random_mesh(0, 3))
    gorvinpy.apply(gmap, rule, [0])
    assert sorted(sizes) == sorted(set(sizes)) and len(sizes) >= 2

def test_a_mean_over_no_dart_fails_alike_and_names_the_dart(capfd):
    rule = apply_rule(mean(position, (0,), linked=3))
    per_row, batch = both_ways(lambda: built(*random_mesh(1, 2)), rule, [0])
    assert per_row is batch is ValueError
    gmap = built(*random_mesh(1, 2))
    with pytest.raises(ValueError, match=r"mean over no dart of the orbit \[0\] of dart 0"):
        gorvinpy.apply(gmap, rule, [0])
    capfd.readouterr()


def test_wrong_terms_are_refused_when_written():
    with pytest.raises(ValueError, match="dimensions are 0..3"):
        position.at(4)
    with pytest.raises(TypeError, match="where needs a condition"):
        where(position, position, position)
    with pytest.raises(TypeError, match="a function of the orbit size"):
        weight(2.0, (1, 2))


def two_parts():
    """A large mesh and a small one in one G-map: darts 0.. the small, the rest the large."""
    small, large = random_mesh(4, 1), random_mesh(5, 4)
    gmap = built(*small)
    gmap.apply(gorvinpy.mesh(*large))
    return gmap


@pytest.mark.parametrize("part", ["small", "large"])
@pytest.mark.parametrize("name", sorted(RULES))
def test_a_part_of_the_map_stores_the_same_floats(name, part):
    """Most of the map (every op at once over all darts) and a small part of it (row by row)."""
    hook = 0 if part == "small" else len(two_parts()) - 1
    per_row, batch = both_ways(two_parts, apply_rule(RULES[name]), [hook])
    assert not isinstance(batch, Exception) and batch == per_row


def failing_weight(size):
    if size == 2:
        raise ArithmeticError("corner")
    return 1 / size


@pytest.mark.parametrize("point_rule, error", [
    (where(is_free(2, (1, 2)), position, weight(failing_weight, (1, 2)) * position), None),
    (where(is_free(2, (1, 2)), mean(position, (1, 2), free=2), position), None),
    (weight(failing_weight, (1, 2)) * position, ArithmeticError),
    (position / (orbit_size((0, 2)) - 2), ZeroDivisionError),
], ids=["unused failing weight", "unused empty mean", "failing weight", "division by zero"])
def test_values_that_fail_only_matter_where_read(point_rule, error):
    """Values of cells no row reads may fail; a row that reads one fails both ways alike."""
    per_row, batch = both_ways(lambda: built(*random_mesh(2, 3)), apply_rule(point_rule), [0])
    assert batch == per_row
    assert (batch is error) if error else not isinstance(batch, type)


def test_a_map_with_a_link_to_a_deleted_dart_fails_alike():
    """Read row by row, as the per-row evaluation walks it: the orbit meets the deleted dart."""

    def damaged():
        gmap = built(*random_mesh(3, 3))
        gmap[5].delete()  # its partners still name it
        return gmap

    per_row, batch = both_ways(damaged, apply_rule(RULES["weights"]), [0])
    assert batch == per_row
