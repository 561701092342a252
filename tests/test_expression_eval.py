import threading
import time

import pytest

import gorvinpy_bin as gorvin
from reference_engine import EXPRESSION_ERROR as ERROR_LINE


@pytest.fixture
def evaluate(modeler, gmap, expression_table):
    """Evaluates the slot-0 group of expressions (name, fct) on one context; returns its dict."""
    def run(*exprs, context=None):
        rule = gorvin.Rule3D("r")
        node = rule.make_rightnode("a", [], [gorvin.Expr3DEbdDart(name, fct) for name, fct in exprs])
        group = expression_table(node)[0]
        return group(context or gorvin.Context3D(modeler, rule, gmap, [4], 0, 0, 4, 9))
    return run


def test_keys_in_expression_order_later_duplicates_win(evaluate):
    result = evaluate(("y", lambda c: 1), ("x", lambda c: 2), ("y", lambda c: 3), ("z", lambda c: None))
    assert list(result.items()) == [("y", 3), ("x", 2), ("z", None)]


def test_values_stored_by_reference_and_each_callable_sees_the_context(evaluate):
    value, seen = {"k": [1]}, []
    result = evaluate(("v", lambda c: value), ("d", lambda c: seen.append(c) or c.rightdart.id))
    assert result["v"] is value and result["d"] == 9
    context = seen[0]
    assert (context.leftdart.id, [d.id for d in context.leftpattern]) == (4, [4])


def test_kept_context_stays_usable(evaluate, gmap):
    kept = []
    evaluate(("a", kept.append))
    del gmap
    context = kept[0]
    assert repr(context) == "ExprContext<gorvinmodeler>"
    assert (context.rightdart.id, len(context.gmap), context.rule.name) == (9, 0, "r")


def test_failure_writes_the_error_line_and_raises_the_same_exception(evaluate, capfd):
    error = ValueError("bad value")
    calls = []

    def fail(context):
        raise error

    with pytest.raises(ValueError) as raised:
        evaluate(("ok", calls.append), ("bad", fail), ("after", calls.append))
    assert raised.value is error and len(calls) == 1
    assert capfd.readouterr().err.startswith(ERROR_LINE + "ValueError: bad value")
    assert evaluate(("again", lambda c: 1)) == {"again": 1}


def test_nested_evaluation_on_the_same_thread(evaluate):
    def inner(context):
        return evaluate(("inner", lambda c: "deep"))

    assert evaluate(("outer", inner)) == {"outer": {"inner": "deep"}}


def test_two_threads_take_turns_without_deadlock(evaluate):
    spans, results = [], []

    def slow(context):
        start = time.monotonic()
        time.sleep(0.2)
        spans.append((start, time.monotonic()))
        return threading.get_ident()

    threads = [threading.Thread(target=lambda: results.append(evaluate(("t", slow))), daemon=True)
               for _ in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=10)
    assert not any(thread.is_alive() for thread in threads)
    assert sorted(r["t"] for r in results) == sorted(t.ident for t in threads)
    first, second = sorted(spans)
    assert first[1] <= second[0]


def test_failure_in_one_thread_frees_the_lock_for_another(evaluate, capfd):
    def fail(context):
        time.sleep(0.05)
        raise KeyError("k")

    errors = []
    worker = threading.Thread(target=lambda: errors.append(pytest.raises(KeyError, evaluate, ("f", fail))))
    worker.start()
    worker.join(timeout=10)
    assert not worker.is_alive() and len(errors) == 1
    assert evaluate(("after", lambda c: 1)) == {"after": 1}
    assert capfd.readouterr().err.startswith(ERROR_LINE + "KeyError: 'k'")
