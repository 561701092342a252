import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED as NO_LINK
from gmap_helpers import UNKNOWN


def make_rule(left, right):
    rule = gorvin.Rule3D("r")
    for name in left:
        rule.make_leftnode(name, [0])
    for name in right:
        rule.make_rightnode(name, [0])
    return rule


def tables(rule):
    return (rule.createdRightNodesID, rule.keptRightNodesID, rule.deletedLeftNodesID,
            rule.sizeCreated, rule.sizeKept, rule.sizeDeleted)


@pytest.mark.parametrize("left, right, created, kept, deleted, assoc", [
    ("ab", "ac", [1], [0], [1], [0, NO_LINK]),
    ("abc", "abc", [], [0, 1, 2], [], [0, 1, 2]),
    ("ab", "", [], [], [0, 1], []),
    ("", "xy", [0, 1], [], [], [NO_LINK, NO_LINK]),
    ("ab", "bc", [1], [0], [0], [1, NO_LINK]),
    (["a", "a"], ["a"], [], [0], [], [0]),
    (["a"], ["a", "a"], [], [0, 1], [], [0, 0]),
    (["Node"], ["node"], [0], [], [0], [NO_LINK]),
    ("", "", [], [], [], []),
])
def test_compile_pairs_by_first_name(left, right, created, kept, deleted, assoc):
    rule = make_rule(left, right)
    rule.compile()
    assert rule.isCompiled
    assert tables(rule) == (created, kept, deleted, len(created), len(kept), len(deleted))
    assert [rule.assoc(i) for i in range(len(right))] == assoc
    assert [rule.isCreated(i) for i in range(len(right))] == [i in created for i in range(len(right))]
    assert [rule.isKept(i) for i in range(len(right))] == [i in kept for i in range(len(right))]
    assert [rule.isDeleted(i) for i in range(len(left))] == [i in deleted for i in range(len(left))]


def test_compile_twice_keeps_tables_and_freezes_nodes():
    rule = make_rule("ab", "ac")
    rule.compile()
    before = tables(rule)
    rule.compile()
    assert tables(rule) == before
    with pytest.raises(RuntimeError, match=UNKNOWN):
        rule.make_leftnode("c", [])
    assert rule.leftsize == 2 and tables(rule) == before


def test_queries_before_compile_and_out_of_range():
    rule = make_rule("ab", "ac")
    assert not rule.isCompiled
    assert tables(rule) == ([], [], [], 0, 0, 0)
    assert [rule.assoc(i) for i in (0, 1, 2**32 - 1)] == [NO_LINK] * 3
    assert not any(f(0) for f in (rule.isCreated, rule.isKept, rule.isDeleted))
    rule.compile()
    assert rule.assoc(2) == NO_LINK
    assert not any(f(5) for f in (rule.isCreated, rule.isKept, rule.isDeleted))
    for query in (rule.isCreated, rule.isKept, rule.isDeleted, rule.assoc):
        with pytest.raises(TypeError):
            query(-1)


def test_linking_after_compile_leaves_tables():
    rule = make_rule("ab", "ab")
    rule.compile()
    rule.linkRightNodes(1, rule.rightnode(0), rule.rightnode("b"))
    assert rule.rightnode(1)[1] == 0 and rule.keptRightNodesID == [0, 1]
