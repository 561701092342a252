import gc

import numpy as np
import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED as NO_LINK
from gmap_helpers import UNKNOWN


def left_rule(*names, hooks=()):
    rule = gorvin.Rule3D("r")
    for name in names:
        rule.make_leftnode(name, [0, 1], name in hooks)
    return rule


def test_text_forms():
    assert str(gorvin.Rule3D("r")) == "Rule<name=r;cat=;compiled=0;hooks=0;leftsize=0;rightsize=0>"
    rule = gorvin.Rule3D("split", "")
    rule.make_leftnode("a", [0, 1, 2], True)
    rule.make_leftnode("b", [])
    for name in "abc":
        rule.make_rightnode(name, [0, 1])
    rule.compile()
    assert repr(rule) == "Rule<name=split;cat=;compiled=1;hooks=1;leftsize=2;rightsize=3>"
    assert repr(rule.leftnode(0)) == "RuleNodeLeft<id=0;hook;name=a;orbit=<0 1 2 >>"
    assert str(rule.leftnode(1)) == "RuleNodeLeft<id=1;name=b;orbit=<>>"
    assert repr(rule.rightnode(1)) == "RuleNodeRight<id=1;name=b;exprs=16;orbit=<0 1 >>"
    assert gorvin.Rule3D("r", "mod").category == "mod"


def test_ids_lookup_and_duplicate_names():
    rule = left_rule("na", "nb", "na")
    assert [node.id for node in rule.leftnodes] == [0, 1, 2]
    assert rule.leftnode(1).id == 1 and int(rule.leftnode(1)) == 1
    assert rule.leftnode("nb").id == 1
    assert rule.leftnode("na").id == 0
    assert rule.leftsize == 3 and rule.rightsize == 0


@pytest.mark.parametrize(
    "lookup", [lambda r: r.leftnode(3), lambda r: r.rightnode(0), lambda r: r.leftnode("NA"),
               lambda r: r.rightnode("na"), lambda r: r.leftnode(2**32 - 1)])
def test_lookup_of_missing_node_raises(lookup):
    with pytest.raises(RuntimeError, match=UNKNOWN):
        lookup(left_rule("na", "nb", "nc"))


def test_linking_frees_former_partners():
    rule = left_rule("na", "nb", "nc")
    na, nb, nc = rule.leftnodes
    rule.linkLeftNodes(0, na, nb)
    rule.linkLeftNodes(0, na, nc)
    assert [rule.leftnode(i)[0] for i in range(3)] == [2, 1, 0]
    rule.linkLeftNodes(0, nb)
    rule.linkLeftNodes(0, nc)
    assert [rule.leftnode(i)[0] for i in range(3)] == [0, 1, 2]
    assert [rule.leftnode(0)[d] for d in (1, 2, 3)] == [NO_LINK] * 3


def test_right_links_and_bad_dimension_change_nothing():
    rule = gorvin.Rule3D("r")
    r0, r1 = rule.make_rightnode("a", [0]), rule.make_rightnode("b", [0])
    rule.linkRightNodes(3, r0, r1)
    for call in (lambda: rule.linkRightNodes(4, r0, r1), lambda: rule.linkRightNodes(7, r1),
                 lambda: rule.rightnode(0)[4], lambda: rule.rightnode(1).__setitem__(4, 0)):
        with pytest.raises(RuntimeError, match=UNKNOWN):
            call()
    assert [rule.rightnode(0)[3], rule.rightnode(1)[3]] == [1, 0]
    assert [rule.rightnode(0)[d] for d in range(3)] == [NO_LINK] * 3


def test_link_reads_only_the_id_of_the_given_nodes():
    rule = left_rule("a", "b")
    stranger = gorvin.RuleNodeLeft3D("elsewhere", 1, [3])
    rule.linkLeftNodes(2, rule.leftnode(0), stranger)
    assert rule.leftnode(1)[2] == 0 and stranger[2] == NO_LINK
    with pytest.raises(RuntimeError, match=UNKNOWN):
        rule.linkLeftNodes(2, gorvin.RuleNodeLeft3D("far", 2, []))
    assert rule.leftnode(0)[2] == 1


def test_link_with_partner_ids_written_out_of_range():
    rule = left_rule("a", "b")
    rule.leftnode(0)[1] = 99
    rule.linkLeftNodes(1, rule.leftnode(0), rule.leftnode(1))
    assert (rule.leftnode(0)[1], rule.leftnode(1)[1]) == (1, 0)


def test_views_write_through_copies_do_not():
    rule = gorvin.Rule3D("r")
    copy = rule.make_leftnode("a", [0])
    copy[1] = 7
    assert copy[1] == 7 and rule.leftnode(0)[1] == NO_LINK
    rule.leftnodes[0][1] = 7
    assert rule.leftnode(0)[1] == NO_LINK
    view = rule.leftnode(0)
    view[1] = 7
    assert rule.leftnode("a")[1] == 7 and copy[1] == 7


def test_view_survives_growth_and_keeps_rule_alive():
    rule = gorvin.Rule3D("r")
    rule.make_rightnode("first", [0])
    view = rule.rightnode("first")
    for i in range(200):
        rule.make_rightnode(f"n{i}", [1])
    rule.linkRightNodes(0, view, rule.rightnode(150))
    assert view.name == "first" and view[0] == 150
    del rule
    gc.collect()
    assert repr(view) == "RuleNodeRight<id=0;name=first;exprs=16;orbit=<0 >>"


def test_standalone_left_node():
    node = gorvin.RuleNodeLeft3D("n", 4, [2, 0, 2])
    assert (node.name, node.id, node.isHook, node.multiplicity) == ("n", 4, False, gorvin.RuleNodeMultiplicity(1, 1))
    assert [node[d] for d in range(4)] == [NO_LINK] * 4
    assert str(node) == "RuleNodeLeft<id=4;name=n;orbit=<2 0 2 >>"
    with pytest.raises(TypeError):
        gorvin.RuleNodeRight3D()


@pytest.mark.parametrize("flag, expected", [(True, True), (np.bool_(True), True), (None, False), (0, False)])
def test_is_hook_conversions(flag, expected):
    assert gorvin.Rule3D("r").make_leftnode("a", [], flag).isHook is expected


def test_multiplicity():
    assert str(gorvin.RuleNodeMultiplicity(5, 2)) == "Multiplicity<min=2;max=5>"
    assert gorvin.RuleNodeMultiplicity(5, 2) == gorvin.RuleNodeMultiplicity(2, 5)
    assert gorvin.RuleNodeMultiplicity(1, 2) != gorvin.RuleNodeMultiplicity(1, 3)
    rule = gorvin.Rule3D("r")
    assert rule.make_leftnode("a", [], mult=gorvin.RuleNodeMultiplicity(0, 3)).multiplicity.max() == 3
    default = rule.make_rightnode("b", []).multiplicity
    assert (default.min(), default.max()) == (1, 1)
    assert "mult: gorvinpy_bin.RuleNodeMultiplicity = RuleNodeMultiplicity(1, 1)" in rule.make_leftnode.__doc__
    assert "= []" in rule.make_rightnode.__doc__


def test_compiled_rule_refuses_nodes():
    rule = left_rule("a")
    rule.compile()
    with pytest.raises(RuntimeError, match=UNKNOWN):
        rule.make_leftnode("b", [])
    with pytest.raises(RuntimeError, match=UNKNOWN):
        rule.make_rightnode("b", [], [gorvin.Expr3DEbd0("x", print)])
    assert (rule.leftsize, rule.rightsize) == (1, 0)
    rule.linkLeftNodes(0, rule.leftnode(0))
    assert rule.leftnode(0)[0] == 0


def test_expressions_sorted_by_orbit_mask(modeler, gmap, expression_table):
    rule = gorvin.Rule3D("r")
    exprs = [gorvin.Expression3D(name, orbit, lambda c, name=name: name)
             for name, orbit in (("e0", [0, 1]), ("e4", [4]), ("e1", [1, 0]), ("e2", []), ("e32", [32]))]
    node = rule.make_rightnode("a", [2], exprs)
    exprs.clear()
    table = expression_table(node)
    assert [i for i in range(16) if table[i] is not None] == [0, 1, 3]
    context = gorvin.Context3D(modeler, rule, gmap, [], 0, 0, NO_LINK, 0)
    assert list(table[3](context).items()) == [("e0", "e0"), ("e1", "e1")]
    assert table[0](context) == {"e2": "e2"} and table[1](context) == {"e32": "e32"}


def test_copy_is_deep_and_shares_callables(modeler, gmap, expression_table):
    calls = []
    rule = gorvin.Rule3D("r", "cat")
    rule.make_leftnode("a", [0], True)
    rule.make_rightnode("a", [0], [gorvin.Expr3DEbd0("x", lambda c: calls.append(c) or len(calls))])
    rule.compile()
    copy = gorvin.Rule3D(rule)
    assert repr(copy) == repr(rule) and copy.keptRightNodesID == [0] and copy.assoc(0) == 0
    copy.linkLeftNodes(0, copy.leftnode(0))
    assert rule.leftnode(0)[0] == NO_LINK
    uncompiled = gorvin.Rule3D(gorvin.Rule3D("u"))
    uncompiled.make_leftnode("z", [])
    assert not uncompiled.isCompiled and uncompiled.leftsize == 1
    context = gorvin.Context3D(modeler, rule, gmap, [0], 0, 0, 0, 0)
    assert expression_table(copy.rightnode(0))[1](context) == {"x": 1}
    assert expression_table(rule.rightnode(0))[1](context) == {"x": 2}


def test_argument_mismatch_is_type_error():
    rule = left_rule("a")
    node = rule.leftnode(0)
    for call in (lambda: rule.leftnode(-1), lambda: rule.leftnode(0.5),
                 lambda: rule.rightnode(-1), lambda: rule.rightnode(1.5), lambda: rule.rightnode([]),
                 lambda: node[-1], lambda: node.__setitem__(0, -2),
                 lambda: rule.linkLeftNodes(-1, node), lambda: rule.linkLeftNodes(0, rule),
                 lambda: rule.linkRightNodes(0, node), lambda: gorvin.RuleNodeMultiplicity(-1, 2)):
        with pytest.raises(TypeError):
            call()
    assert rule.leftsize == 1
