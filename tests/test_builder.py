import pytest

import gorvinpy
import gorvinpy_bin as gorvin


def square():
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]))
    return gmap


def test_split_edge_as_data_matches_the_hand_built_rule():
    split = gorvinpy.rule(
        "split edge",
        (0, 2, 3),
        nodes={"n0": [-1, 2, 3], "mid": [1, 2, 3]},
        links=[(0, "n0", "mid")],
        positions={"mid": gorvinpy.edge_midpoint},
    )
    by_hand, as_data = square(), square()
    by_hand.apply(gorvinpy.insert_vertex(), [0])
    gorvinpy.apply(as_data, split, [0])
    assert (gorvinpy._native.links(by_hand) == gorvinpy._native.links(as_data)).all()
    assert [as_data.ebd123(d) for d in range(len(as_data))] == [by_hand.ebd123(d) for d in range(len(by_hand))]


def test_left_nodes_and_several_hooks():
    sew = gorvinpy.rule(
        "sew", (0, 1), {"n0": (0, 1), "n1": (0, 1)}, [(3, "n0", "n1")], left={"n1": (0, 1)}, hooks=("n0", "n1")
    )
    assert [node.name for node in sew.leftnodes] == ["n0", "n1"]
    assert all(node.isHook for node in sew.leftnodes)


@pytest.mark.parametrize(
    "arguments, message",
    [
        (dict(nodes={"n0": [0, 1]}), "node 'n0' has 2 orbit labels for a hook orbit of 3"),
        (dict(nodes={"n0": {5: 0}}), "node 'n0' relabels [5], not dimensions 0..3"),
        (dict(nodes={"n0": {}}, links=[(0, "n0", "ghost")]), "a link names 'ghost', not a node of its side"),
        (dict(nodes={"n0": {}}, positions={"ghost": gorvinpy.position}), "positions name no right node: ['ghost']"),
        (dict(nodes={"n0": {}}, left={"n0": (0,)}), "the hook node 'n0' takes its orbit from hook_orbit"),
        (dict(nodes={"n0": {}}, positions={"n0": 3}), "a position is a PointRule or an expression callable, not int"),
    ],
)
def test_bad_rules_are_refused_naming_the_node(arguments, message):
    with pytest.raises((ValueError, TypeError)) as error:
        gorvinpy.rule("bad", (0, 2, 3), **arguments)
    assert message in str(error.value)


def test_precondition_refuses_before_any_change():
    def only_dart_zero(gmap, hooks):
        if hooks[0] != 0:
            raise gorvinpy.RuleInputError(f"dart {hooks[0]} is not dart 0")

    rule = gorvinpy.rule(
        "guarded",
        (0, 2, 3),
        {"n0": {2: 2, 3: 3}, "mid": {0: 1, 2: 2, 3: 3}},
        [(0, "n0", "mid")],
        {"mid": gorvinpy.edge_midpoint},
        precondition=only_dart_zero,
    )
    gmap = square()
    with pytest.raises(gorvinpy.RuleInputError, match="dart 2 is not dart 0"):
        gorvinpy.apply(gmap, rule, [2])
    assert len(gmap) == 8
    gorvinpy.apply(gmap, rule, [0])
    assert len(gmap) == 10
