"""Applying rules to G-maps: rows, new darts, links, hooks, errors, atomicity and deletion."""
import sys

import pytest

import gorvinpy_bin as gorvin
from engine_rules import counts, is_involution, make_rule, triangulation
from gmap_helpers import DELETED as NO
from gmap_helpers import live_links, square_face


def alpha(gmap, i, d):
    return gmap.a(i, d).id


def test_rows_run_depth_first_and_new_darts_run_row_by_row(gmap):
    square_face(gmap)
    rule = make_rule(
        left=[("a", [0, 1], True)],
        right=[("a", [0, 1]), ("b", [-1, -1]), ("c", [-1, -1])],
        right_links=[(2, "a", "b"), (3, "a", "c")],
    )
    gmap.apply(rule, [0])
    assert len(gmap) == 8 + 8 * 2
    for w, dart in enumerate([0, 1, 7, 6, 5, 4, 3, 2]):
        assert (alpha(gmap, dart, 2), alpha(gmap, dart, 3)) == (8 + 2 * w, 9 + 2 * w)
        assert alpha(gmap, 8 + 2 * w, 0) == 8 + 2 * w
    assert is_involution(gmap)


def test_a_free_hook_dart_is_its_own_neighbour(gmap):
    gmap.make_darts(2)
    gmap.linkAlpha(0, 0, 1)
    rule = make_rule(left=[("a", [0, 1], True)], right=[("a", [0, 1]), ("b", [0, 1])], right_links=[(2, "a", "b")])
    gmap.apply(rule, [0])
    assert [alpha(gmap, 2, d) for d in range(3)] == [3, 2, 0]
    assert [alpha(gmap, 3, d) for d in range(3)] == [2, 3, 1]


@pytest.mark.parametrize("orbit, expected", [([1, 0], (7, 1)), ([-1, 0], (7, 7)), ([0, 1], (1, 7))])
def test_kept_orbits_relabel_the_hook_orbit(gmap, orbit, expected):
    square_face(gmap)
    gmap.apply(make_rule(left=[("a", [0, 1], True)], right=[("a", orbit)]), [0])
    assert (alpha(gmap, 0, 0), alpha(gmap, 0, 1)) == expected
    assert len(gmap) == 8


def test_a_kept_node_takes_the_dart_of_its_left_namesake_and_deleted_darts_go(gmap):
    gmap.make_darts(2)
    gmap.linkAlpha(0, 0, 1)
    rule = make_rule(
        left=[("a", [], True), ("b", [], False)],
        right=[("b", []), ("c", [])],
        left_links=[(0, "a", "b")],
        right_links=[(2, "b", "c")],
    )
    gmap.apply(rule, [0])
    assert alpha(gmap, 1, 2) == 2 and alpha(gmap, 2, 2) == 1
    assert not gmap.exists(0)
    assert alpha(gmap, 1, 0) == 1


def test_deleting_a_face_frees_its_neighbours(gmap):
    square_face(gmap)
    square_face(gmap)
    gmap.linkAlpha(2, 2, 15)
    gmap.linkAlpha(2, 3, 14)
    gmap.apply(make_rule(left=[("a", [0, 1], True)]), [0])
    assert [gmap.exists(i) for i in range(16)] == [False] * 8 + [True] * 8
    assert alpha(gmap, 15, 2) == 15 and alpha(gmap, 14, 2) == 14
    assert is_involution(gmap)


def test_a_dart_both_kept_and_deleted_survives(gmap):
    square_face(gmap)
    rule = make_rule(left=[("a", [], True), ("b", [], True)], right=[("a", [])])
    gmap.apply(rule, [0, 0])
    assert gmap.exists(0) and alpha(gmap, 0, 0) == 1


def test_dictionary_hooks_land_at_their_hook_positions(gmap):
    square_face(gmap)
    rule = make_rule(
        left=[("x", [], False), ("h1", [], True), ("h2", [], True)],
        right=[("x", []), ("h1", []), ("h2", []), ("m", [])],
        left_links=[(0, "h1", "x")],
        right_links=[(3, "h2", "m")],
    )
    gmap.apply(rule, {"h2": 3, "h1": 0})
    assert alpha(gmap, 3, 3) == 8 and alpha(gmap, 0, 3) == 0


@pytest.mark.parametrize(
    "hooks, error",
    [
        ({"h1": 0, "nobody": 3}, RuntimeError),  # names no left node
        ({"h1": 0, "x": 3}, RuntimeError),  # names a left node that is not a hook
        ({"h1": 0}, RuntimeError),  # h2 left without a dart
        ({"h1": 0, "h2": "3"}, RuntimeError),  # value is no int
        ({"h1": 0, 2: 3}, RuntimeError),  # key is no string
        ([0, 1.5], TypeError),
    ],
)
def test_bad_hooks_change_nothing(gmap, hooks, error):
    square_face(gmap)
    rule = make_rule(
        left=[("x", [], False), ("h1", [0], True), ("h2", [0], True)],
        right=[("m", [])],
        left_links=[(1, "h1", "x")],
    )
    before = live_links(gmap)
    with pytest.raises(error):
        gmap.apply(rule, hooks)
    assert live_links(gmap) == before and len(gmap) == 8


@pytest.mark.parametrize(
    "call",
    [
        lambda m, g, r: g.apply(None),
        lambda m, g, r: gorvin.applyRule(None, g, r, gorvin.InputHooks()),
        lambda m, g, r: gorvin.applyRule(m, None, r, gorvin.InputHooks()),
        lambda m, g, r: gorvin.applyRule(m, g, None, gorvin.InputHooks()),
    ],
)
def test_none_arguments_are_type_errors(modeler, gmap, call):
    with pytest.raises(TypeError):
        call(modeler, gmap, make_rule(right=[("n", [])]))
    assert len(gmap) == 0


@pytest.mark.parametrize(
    "call",
    [
        lambda m, g, r: g.apply(r),
        lambda m, g, r: g.apply(r, [0, 1]),
        lambda m, g, r: g.apply(r, gorvin.InputHooks()),
        lambda m, g, r: gorvin.applyRule(m, g, r, gorvin.InputHooks([0, 1])),
    ],
)
def test_a_wrong_hook_count_reports_and_changes_nothing(modeler, gmap, capfd, call):
    square_face(gmap)
    rule = make_rule(left=[("a", [0], True)], right=[("a", [0]), ("b", [])])
    with pytest.raises(RuntimeError):
        call(modeler, gmap, rule)
    assert capfd.readouterr() == ("", "ERROR NOT ENOUGH HOOKS!!\n")
    assert len(gmap) == 8


def test_hooks_that_fold_differently_report_and_change_nothing(gmap, capfd):
    square_face(gmap)
    rule = make_rule(left=[("a", [0], True), ("b", [1], True)], right=[("a", [0]), ("b", [1]), ("c", [-1])])
    with pytest.raises(RuntimeError):
        gmap.apply(rule, [0, 1])
    assert capfd.readouterr().err == "ERROR NOT ISOMORPH HOOKS!!\n"
    assert len(gmap) == 8


def _unlinked_left(rule):
    rule.leftnode(0)[2] = 7


def _unlinked_right(rule):
    rule.rightnode(0)[2] = 7


@pytest.mark.parametrize(
    "left, right, left_links, hooks, change",
    [
        ([("a", [0, 1], True)], [("a", [0, 1]), ("b", [])], [], [0], "uncompiled"),
        ([("a", [0, 1], True)], [("a", [0, 1])], [], [99], None),  # hook past the table
        ([("a", [0, 1], True)], [("a", [0, 1])], [], [NO], None),
        ([("a", [0, 1], True)], [("a", [0, 1])], [], [0], _unlinked_left),
        ([("a", [0, 1], True)], [("a", [0, 1])], [], [0], _unlinked_right),
        ([("a", [0, 1], True), ("b", [], False)], [("a", [0, 1])], [(2, "a", "b")], [0], None),  # b unreached
        ([("a", [0, 1], True)], [("a", [0])], [], [0], None),  # right orbit shorter than the hook orbit
        ([("a", [0, 1], True), ("b", [1], True)], [("a", [0, 1])], [], [0, 1], None),  # hook orbit too
        ([("a", [0, -1], True)], [("a", [0, 1])], [], [0], None),  # no neighbour row at position 1
        ([("a", [0, 1], False)], [("a", [0, 1])], [], [], None),  # left nodes but no hook
    ],
)
def test_unmet_preconditions_raise_before_any_change(gmap, left, right, left_links, hooks, change):
    square_face(gmap)
    rule = make_rule(left=left, right=right, left_links=left_links, compile=change != "uncompiled")
    if callable(change):
        change(rule)
    before = live_links(gmap)
    with pytest.raises(RuntimeError):
        gmap.apply(rule, hooks)
    assert live_links(gmap) == before and len(gmap) == 8


def test_a_deleted_hook_dart_is_refused(gmap):
    square_face(gmap)
    gmap[0].delete()
    with pytest.raises(RuntimeError):
        gmap.apply(make_rule(left=[("a", [], True)], right=[("a", [])]), [0])


@pytest.mark.parametrize("cut", ["resize", "delete"])
def test_links_to_missing_darts_reach_nothing(gmap, cut):
    square_face(gmap)
    if cut == "resize":
        gmap.resize(6)  # darts 0 and 5 keep links to 7 and 6
    else:
        gmap[6].delete()
        gmap[7].delete()
    rule = make_rule(left=[("a", [0, 1], True)], right=[("a", [0, -1]), ("c", [-1, -1])], right_links=[(3, "a", "c")])
    size = len(gmap)
    gmap.apply(rule, [0])
    assert len(gmap) == size + 6


def test_apply_rule_prints_the_sixteen_orbits_after_success(modeler, gmap, capfd):
    square_face(gmap)
    rule = make_rule(left=[("a", [0, 1], True)], right=[("a", [0, 1])])
    gmap.apply(rule, [0])
    assert capfd.readouterr() == ("", "")
    gorvin.applyRule(modeler, gmap, rule, gorvin.InputHooks([0]))
    lines = capfd.readouterr().out.splitlines()
    assert len(lines) == 16
    assert lines[:3] == ["<> -> oid=0", "<0 > -> oid=1", "<1 > -> oid=2"]
    assert lines[5] == "<0 1 > -> oid=3" and lines[-1] == "<0 1 2 3 > -> oid=15"


def test_apply_overloads_show_their_defaults():
    doc = gorvin.GMap3D.apply.__doc__
    assert "hooks: gorvinpy_bin.InputHooks = []) -> None" in doc
    assert "apply a rule to the gmap with hooks as a dictionary" in doc


def test_expressions_see_the_topology_before_the_application(gmap):
    square_face(gmap)
    seen = []

    def record(ctx):
        dart = ctx.rightdart.id
        seen.append((ctx.leftdart.id, [alpha(gmap, dart, d) for d in range(4)] == [dart] * 4))
        return len(seen)

    gmap.apply(triangulation([gorvin.Expr3DEbd01("n", record)]), [0])
    assert len(seen) == 16
    assert all(left == NO and free for left, free in seen)


def test_values_land_on_exactly_one_dart_and_new_darts_share_defaults(gmap):
    square_face(gmap)
    gmap.apply(triangulation([gorvin.Expr3DEbd01("n", lambda ctx: ctx.rightdart.id)]), [0])
    assert gmap.ebd01(8) == {"n": 8} and gmap.ebd01(9) == {"n": 9}
    assert gmap.ebd01(0) == {}
    assert gmap.ebd2(8) is gmap.ebd2(9)


def test_a_raising_expression_restores_the_gmap(gmap, capfd):
    square_face(gmap)
    calls = []

    def fail_third(ctx):
        calls.append(ctx)
        if len(calls) == 1:
            gmap.apply(make_rule(right=[("n", [])]))  # grows the G-map under the application
        if len(calls) == 3:
            raise ValueError("boom")
        return 0

    before = live_links(gmap)
    with pytest.raises(ValueError, match="boom"):
        gmap.apply(triangulation([gorvin.Expr3DEbd01("n", fail_third)]), [0])
    assert capfd.readouterr().err.startswith("[ERROR] Exception occurred while evaluating expressions: ")
    assert len(gmap) == 8 and live_links(gmap) == before


def test_a_raising_expression_keeps_the_old_records(gmap):
    square_face(gmap)
    before = [id(gmap.ebd01(i)) for i in range(8)]
    with pytest.raises(ZeroDivisionError):
        gmap.apply(triangulation([gorvin.Expr3DEbd01("n", lambda ctx: 1 // 0)]), [0])
    assert [id(gmap.ebd01(i)) for i in range(8)] == before


def test_an_expression_may_apply_a_rule_to_the_same_gmap(gmap):
    square_face(gmap)
    face = make_rule(right=[("p", []), ("q", [])], right_links=[(0, "p", "q")])
    nested = []

    def grow_once(ctx):
        if not nested:
            nested.append(ctx.gmap.apply(face))
        return 0

    gmap.apply(triangulation([gorvin.Expr3DEbd01("n", grow_once)]), [0])
    assert len(gmap) == 24 + 2
    assert gmap.a(24, 0).id == 25 and counts(gmap) == (5 + 2, 8 + 1, 4 + 1)
    assert is_involution(gmap)


def test_an_expression_that_empties_the_gmap_is_refused(gmap):
    square_face(gmap)

    def clear(ctx):
        ctx.gmap.clear()
        return 0

    with pytest.raises(RuntimeError):
        gmap.apply(triangulation([gorvin.Expr3DEbd01("n", clear)]), [0])
    assert len(gmap) == 0


def assert_sound(gmap, created_from):
    """Every deleted slot holds the deleted marker in all five fields, and no dart from
    `created_from` on links to a deleted or removed slot."""
    rows = pytest.importorskip("gorvin_testing").dart_table(gmap)
    live = {i for i, row in enumerate(rows) if row[0] != NO}
    assert [row for row in rows if row[0] == NO and row != (NO,) * 5] == []
    assert [row for row in rows[created_from:] if row[0] != NO and not live.issuperset(row[1:])] == []


def sewn_faces(gmap):
    """Face A (darts 0-7) sewn by alpha2 to face B (8-15) and by alpha3 to face D (16-23)."""
    for _ in range(3):
        square_face(gmap)
    for i in range(8):
        gmap.linkAlpha(2, i, i + 8)
        gmap.linkAlpha(3, i, i + 16)


def face_replacement(action):
    """Rows: the darts of face A (kept, node a) and of face B (deleted, node b); a new face (node
    c) is sewn to A by alpha3. The expression of c runs `action(ctx)` once."""
    done = []

    def once(ctx):
        if not done:
            done.append(action(ctx))
        return 0

    return make_rule(
        left=[("a", [0, 1], True), ("b", [0, 1], False)],
        right=[("a", [0, 1]), ("c", [0, 1], [gorvin.Expr3DEbd01("v", once)])],
        left_links=[(2, "a", "b")],
        right_links=[(3, "a", "c")],
    )


@pytest.mark.parametrize(
    "victim",
    [
        lambda ctx: ctx.leftpattern[0].id,  # the hook dart of the row
        lambda ctx: 3,  # a kept dart of another row
        lambda ctx: 12,  # a dart of the deleted node
        lambda ctx: ctx.rightdart.id,  # a new dart
    ],
    ids=["hook", "kept", "deleted-node", "new"],
)
def test_an_expression_that_deletes_a_dart_of_the_rows_is_refused(gmap, victim):
    sewn_faces(gmap)
    testing = pytest.importorskip("gorvin_testing")
    before, deleted = testing.dart_table(gmap), []

    def delete(ctx):
        deleted.append(victim(ctx))
        ctx.gmap[deleted[0]].delete()

    with pytest.raises(RuntimeError):
        gmap.apply(face_replacement(delete), [0])
    x = deleted[0]
    if x < 24:
        before[x] = (NO,) * 5
    assert testing.dart_table(gmap) == before


def test_a_deleted_neighbour_of_a_rewritten_dart_stays_deleted(gmap):
    sewn_faces(gmap)
    gmap.apply(face_replacement(lambda ctx: ctx.gmap[16].delete()), [0])  # dart 0's alpha3 partner
    assert len(gmap) == 32 and not gmap.exists(16) and not gmap.exists(8)
    assert [gmap.a(d, 3).id for d in [0, 1, 7, 6, 5, 4, 3, 2]] == list(range(24, 32))  # row order
    assert_sound(gmap, 24)


def test_an_expression_may_relink_the_darts_of_the_rows(gmap):
    sewn_faces(gmap)

    def relink(ctx):
        ctx.gmap.linkAlpha(2, 0)  # unsews A from B at dart 0
        ctx.gmap.linkAlpha(3, 17, 16)

    gmap.apply(face_replacement(relink), [0])
    assert len(gmap) == 32 and [gmap.exists(i) for i in range(8, 16)] == [False] * 8
    assert [gmap.a(d, 3).id for d in [0, 1, 7, 6, 5, 4, 3, 2]] == list(range(24, 32))  # row order
    assert gmap.a(16, 3).id == 17 and is_involution(gmap)
    assert_sound(gmap, 24)


def test_endless_nested_applications_stop_with_recursion_error(gmap, capfd):
    square_face(gmap)

    def again(ctx):
        ctx.gmap.apply(rule, [0])
        return 0

    rule = make_rule(left=[("a", [], True)], right=[("a", []), ("n", [], [gorvin.Expr3DEbdDart("v", again)])])
    before = live_links(gmap)
    with pytest.raises(RecursionError):
        gmap.apply(rule, [0])
    assert len(gmap) == 8 and live_links(gmap) == before
    assert "[ERROR] Exception occurred while evaluating expressions: " in capfd.readouterr().err


@pytest.mark.parametrize("fail_at", [None, 6])
def test_computed_values_are_held_once(gmap, fail_at):
    square_face(gmap)
    token, calls = object(), []
    baseline = sys.getrefcount(token)

    def value(ctx):
        calls.append(None)
        if len(calls) == fail_at:
            raise KeyError("stop")
        return token

    try:
        gmap.apply(triangulation([gorvin.Expr3DEbd01("t", value)]), [0])
    except KeyError:
        pass
    assert sys.getrefcount(token) == baseline + (16 if fail_at is None else 0)
    gmap.clear()
    assert sys.getrefcount(token) == baseline
