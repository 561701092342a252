import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED as NO_LINK
from gmap_helpers import ORBIT_SUFFIXES, kernel_error
from gmap_model import orbit_mask

HELPERS = [(suffix, [int(c) for c in suffix if c.isdigit()]) for suffix in ORBIT_SUFFIXES]


def test_helper_classes_in_order():
    names = list(vars(gorvin))
    first = names.index("Expr3DEbdDart")
    assert names[first:first + 16] == [f"Expr3DEbd{suffix}" for suffix, _ in HELPERS]
    for suffix, _ in HELPERS:
        cls = getattr(gorvin, f"Expr3DEbd{suffix}")
        assert cls.__doc__ == "expression for a specific orbit." and issubclass(cls, gorvin.Expression3D)


@pytest.mark.parametrize("suffix, dims", HELPERS)
def test_helper_feeds_its_orbit_slot(suffix, dims, modeler, gmap, expression_table):
    def fct(context):
        return suffix

    expr = getattr(gorvin, f"Expr3DEbd{suffix}")("p", fct)
    assert (expr.name, expr.fct) == ("p", fct)
    assert str(expr) == repr(expr) == "Expression3D: name=p, orbit=<" + "".join(f"{d} " for d in dims) + ">"
    rule = gorvin.Rule3D("r")
    table = expression_table(rule.make_rightnode("a", [], [expr]))
    filled = [i for i in range(len(table)) if table[i] is not None]
    assert filled == [orbit_mask(dims)]
    assert table[filled[0]](gorvin.Context3D(modeler, rule, gmap, [], 0, 0, 0, 0)) == {"p": suffix}


def test_expression_constructor():
    expr = gorvin.Expression3D("pos", [3, 1, 3, -1], print)
    assert expr.name == "pos"
    for args in (("pos", [0], 5), ("pos", [0], None), (1, [0], print), ("pos", [0.5], print)):
        with pytest.raises(TypeError):
            gorvin.Expression3D(*args)
    with pytest.raises(TypeError):
        gorvin.Expression3D(name="pos", orbit=[0], fct=print)
    with pytest.raises(TypeError):
        gorvin.Expr3DEbd0("pos", "not callable")


def test_expression_table_is_empty_and_bounded():
    table = gorvin.AllExpressions3D()
    assert len(table) == 16 and [table[i] for i in range(16)] == [None] * 16
    with kernel_error():
        table[16]
    with pytest.raises(TypeError):
        table[-1]


def test_context(modeler, gmap):
    rule = gorvin.Rule3D("r")
    context = gorvin.Context3D(modeler, rule, gmap, [5, 7], 0, 1, 5, 9)
    assert [(d.gmapid, d.id) for d in context.leftpattern] == [(gmap.id, 5), (gmap.id, 7)]
    assert (context.leftdart.id, context.rightdart.id) == (5, 9)
    assert context.leftpattern[0].modeler is modeler
    assert str(context) == repr(context) == "ExprContext<gorvinmodeler>"
    assert context.modeler is modeler and context.rule is rule and context.gmap is gmap
    created = gorvin.Context3D(modeler, rule, gmap, [NO_LINK], 0, 1, NO_LINK, 9)
    assert created.leftdart.id == NO_LINK and created.leftpattern[0].id == NO_LINK
    for args in ((None, rule, gmap), (modeler, None, gmap), (modeler, rule, None), (modeler, rule, modeler)):
        with pytest.raises(TypeError):
            gorvin.Context3D(*args, [], 0, 0, 0, 0)


def test_context_copies_its_dart_list(modeler, gmap):
    darts = [1, 2]
    context = gorvin.Context3D(gorvin.Modeler3D("other"), gorvin.Rule3D("r"), gmap, darts, 0, 0, 0, 0)
    darts.append(3)
    assert len(context.leftpattern) == 2 and repr(context) == "ExprContext<other>"


def test_expression_from_orbit_object():
    try:
        orbit = gorvin.Orbit([2, 0, 2])
    except TypeError:
        pytest.skip("Orbit has no constructor in this build")
    expr = gorvin.Expression3D("pos", orbit, print)
    assert list(expr.orbit) == [2, 0, 2] and isinstance(expr.orbit, gorvin.Orbit)
    assert list(gorvin.Expression3D("pos", [3, -1], print).orbit) == [3, -1]
    assert list(gorvin.Expr3DEbd13("p", print).orbit) == [1, 3]
