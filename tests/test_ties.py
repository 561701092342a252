"""Results that refer into their owner keep the owner's Python object alive, and None where a
multiplicity, a node, an expression or input hooks is expected is refused at once."""
import gc
import weakref

import pytest

import gorvinpy_bin as gorvin

MODELER = gorvin.Modeler3D()


def gmap_of(get):
    def make():
        modeler = gorvin.Modeler3D()
        modeler.make_gmap()
        return modeler, get(modeler)
    return make


def raw_dart(get):
    def make():
        dart = MODELER.make_gmap().make_darts(2)[0]  # a handle does not keep its modeler
        return dart, get(dart.dart())
    return make


def node_view(get):
    def make():
        rule = gorvin.Rule3D("r")
        rule.make_leftnode("a", [0], True)
        rule.make_rightnode("a", [0])
        return rule, get(rule)
    return make


def iterator_of(make_owner):
    def make():
        owner = make_owner()
        return owner, iter(owner)
    return make


def gmap_with_darts():
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.make_darts(3)
    return gmap


def modeler_with_gmap():
    modeler = gorvin.Modeler3D()
    modeler.make_gmap()
    return modeler


TIES = {
    "Modeler3D.make_gmap": gmap_of(lambda m: m.make_gmap()),
    "Modeler3D.gmap": gmap_of(lambda m: m.gmap(0)),
    "Modeler3D.__getitem__": gmap_of(lambda m: m[0]),
    "Modeler3D iteration": gmap_of(lambda m: next(iter(m))),
    "Dart3D.dart": raw_dart(lambda raw: raw),
    "RawDart3D.a": raw_dart(lambda raw: raw.a(0)),
    "RawDart3D.__setitem__": raw_dart(lambda raw: raw.__setitem__(0, 0)),
    "Rule3D.leftnode(int)": node_view(lambda r: r.leftnode(0)),
    "Rule3D.leftnode(str)": node_view(lambda r: r.leftnode("a")),
    "Rule3D.rightnode(int)": node_view(lambda r: r.rightnode(0)),
    "Rule3D.rightnode(str)": node_view(lambda r: r.rightnode("a")),
    "GMap3D.__iter__": iterator_of(gmap_with_darts),
    "Modeler3D.__iter__": iterator_of(modeler_with_gmap),
    "Orbit.__iter__": iterator_of(lambda: gorvin.Orbit([0, 1])),
    "Islet.__iter__": iterator_of(lambda: gorvin.Islet([0, 1])),
}


@pytest.mark.parametrize("tie", TIES)
def test_a_result_keeps_its_owner_object_alive(tie):
    owner, result = TIES[tie]()
    text = repr(owner)
    owner = weakref.ref(owner)
    gc.collect()
    assert owner() is not None and repr(owner()) == text
    next(result) if tie.endswith("__iter__") else repr(result)
    del result
    gc.collect()
    assert owner() is None


def test_a_gmap_from_an_expression_context_keeps_its_modeler_object_alive():
    modeler = gorvin.Modeler3D()  # not a fixture: pytest would hold it
    gmap = modeler.make_gmap()
    gmap.make_darts(1)
    seen = []
    rule = gorvin.Rule3D("r")
    rule.make_leftnode("a", [], True)
    rule.make_rightnode("a", [], [gorvin.Expr3DEbdDart("v", lambda ctx: seen.append(ctx.gmap))])
    rule.compile()
    gmap.apply(rule, [0])
    del gmap
    owner = weakref.ref(modeler)
    del modeler
    gc.collect()
    assert owner() is not None and seen[0].id == 0
    seen.clear()
    gc.collect()
    assert owner() is None


def test_a_dart_handle_does_not_keep_its_modeler():
    modeler = gorvin.Modeler3D()
    dart = modeler.make_gmap().make_darts(1)[0]
    owner = weakref.ref(modeler)
    del modeler
    gc.collect()
    assert owner() is None and dart.id == 0


def rule_with_nodes():
    rule = gorvin.Rule3D("r")
    rule.make_leftnode("a", [0], True)
    rule.make_rightnode("a", [0])
    return rule


NONE_ARGUMENTS = {
    "make_leftnode(mult)": lambda r, g: r.make_leftnode("b", [0], False, None),
    "make_rightnode(mult)": lambda r, g: r.make_rightnode("b", [0], [], None),
    "make_rightnode(exprs)": lambda r, g: r.make_rightnode("b", [0], [gorvin.Expr3DEbd0("n", print), None]),
    "RuleNodeLeft3D(mult)": lambda r, g: gorvin.RuleNodeLeft3D("b", 0, [0], False, None),
    "RuleNodeMultiplicity.__eq__": lambda r, g: gorvin.RuleNodeMultiplicity(1, 1) == None,  # noqa: E711
    "RuleNodeMultiplicity.__ne__": lambda r, g: gorvin.RuleNodeMultiplicity(1, 1).__ne__(None),
    "linkLeftNodes(first)": lambda r, g: r.linkLeftNodes(0, None, r.leftnode(0)),
    "linkLeftNodes(second)": lambda r, g: r.linkLeftNodes(0, r.leftnode(0), None),
    "linkLeftNodes(loop)": lambda r, g: r.linkLeftNodes(0, None),
    "linkRightNodes(first)": lambda r, g: r.linkRightNodes(0, None, r.rightnode(0)),
    "linkRightNodes(loop)": lambda r, g: r.linkRightNodes(0, None),
    "match": lambda r, g: r.match(None),
    "GMap3D.apply(hooks)": lambda r, g: g.apply(r, None),
    "applyRule(hooks)": lambda r, g: gorvin.applyRule(MODELER, g, r, None),
}


@pytest.mark.parametrize("call", NONE_ARGUMENTS)
def test_none_for_a_class_argument_is_the_reference_cast_error(call):
    rule, gmap = rule_with_nodes(), MODELER.make_gmap()
    gmap.make_darts(1)
    rule.compile()
    with pytest.raises(RuntimeError, match="expected, got None"):
        NONE_ARGUMENTS[call](rule, gmap)
    assert repr(rule) == "Rule<name=r;cat=;compiled=1;hooks=1;leftsize=1;rightsize=1>"
    assert [rule.leftnode(0)[d] for d in range(4)] == [4294967295] * 4
    assert len(gmap) == 1 and gmap.a(0, 0).id == 0
