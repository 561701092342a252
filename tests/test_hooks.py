import os

import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED as NO_LINK


def rule_with(*nodes):
    """A rule with left nodes given as (isHook, (min, max))."""
    rule = gorvin.Rule3D("r")
    for i, (hook, (low, high)) in enumerate(nodes):
        rule.make_leftnode(f"n{i}", [0], hook, gorvin.RuleNodeMultiplicity(low, high))
    return rule


@pytest.mark.parametrize("nodes, hooks, expected", [
    ([(True, (1, 1)), (True, (1, 1)), (False, (1, 1))], [3, 7], True),
    ([(True, (1, 1)), (True, (1, 1))], [3], False),
    ([(True, (1, 1)), (True, (1, 1))], [], False),
    ([], [], True),
    ([], [1], False),
    ([(False, (0, 1))], [], True),
    ([(False, (2, 4))], [], False),
    ([(False, (0, 0))], [], False),
    ([(True, (1, 9)), (False, (0, 0))], [NO_LINK], False),
])
def test_match(nodes, hooks, expected):
    rule = rule_with(*nodes)
    rule.make_rightnode("ignored", [0], mult=gorvin.RuleNodeMultiplicity(0, 0))
    assert rule.match(gorvin.InputHooks(hooks)) is expected


def test_hooks_from_ids():
    hooks = gorvin.InputHooks([5, 6])
    assert (hooks[(1, 0)], hooks[[0, 0]], hooks[(1, 1)], hooks[(2, 0)]) == (6, 5, NO_LINK, NO_LINK)
    assert (hooks.sizeCol(), hooks.sizeRow(1), hooks.sizeRow(2)) == (2, 1, 0)
    assert str(hooks) == repr(hooks) == "InputHooks<col=2;row0=1;row1=1>"


@pytest.mark.parametrize("hooks", [gorvin.InputHooks(), gorvin.InputHooks([])])
def test_hooks_without_columns(hooks):
    assert repr(hooks) == "InputHooks<col=0>" and hooks.sizeCol() == 0


def test_hooks_from_handles_keep_ids_only(modeler):
    first, second = modeler.make_gmap(), modeler.make_gmap()
    first.make_darts(5)
    second.make_darts(3)
    hooks = gorvin.InputHooks([first[4], second[1], first[0]])
    assert [hooks[(c, 0)] for c in range(3)] == [4, 1, 0]


@pytest.mark.parametrize("args", [([-1],), ([1.5],), ([2**32],), (["a"],), ([1, None],)])
def test_bad_hook_lists_are_type_errors(args):
    with pytest.raises(TypeError):
        gorvin.InputHooks(*args)


@pytest.mark.parametrize("key", [(1,), (1, 2, 3), (-1, 0), "ab", 3])
def test_bad_pairs_are_type_errors(key):
    with pytest.raises(TypeError):
        gorvin.InputHooks([1, 2])[key]


def test_rows_and_results_are_not_handed_out():
    with pytest.raises(TypeError):
        gorvin.RowPattern3D()


def test_rule_result_sizes_are_swapped():
    result = gorvin.RuleResult(2, 3)
    assert str(result) == repr(result) == "RuleResult<cols=3;rows=2>"
    assert (result.sizeCol(), result.sizeRow()) == (3, 2)
    assert [result(c, r) for c in range(2) for r in range(3)] == [NO_LINK] * 6
    assert repr(gorvin.RuleResult(0, 0)) == "RuleResult<cols=0;rows=0>"


@pytest.mark.parametrize("cell", [(2, 0), (0, 3), (5, 5)])
def test_rule_result_cell_outside_raises_index_error(cell):
    with pytest.raises(IndexError):
        gorvin.RuleResult(2, 3)(*cell)


@pytest.mark.parametrize("size", [(2**32, 1), (1, 2**40), (2**40, 2**40), (2**64 - 1, 2)])
def test_a_rule_result_beyond_memory_raises_memory_error_before_allocating(size):
    if size == (2**32, 1) and os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE") >= 2**35:
        pytest.skip("16 GiB is within half of this machine's memory")
    with pytest.raises(MemoryError, match=f"{size[0]} x {size[1]} cells"):
        gorvin.RuleResult(*size)
