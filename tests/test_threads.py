"""Python threads applying rules to separate G-maps, with expressions that give up the interpreter
lock, apply rules themselves or raise. A deadlock would hold the interpreter, so the threads run in
a child interpreter under a timeout."""
import os
import subprocess
import sys

WORKERS = r"""
import sys
import threading
import time

import gorvinpy_bin as gorvin
from engine_rules import make_rule, square_grid

sys.setswitchinterval(1e-5)
K, ROUNDS = 3, 20
face = make_rule(right=[("p", []), ("q", [])], right_links=[(0, "p", "q")])


def sleepy(ctx):
    time.sleep(0.0002)  # lets the other threads run while this one evaluates
    return ctx.rightdart.id


def nested(ctx):
    ctx.gmap.apply(face)  # takes the evaluation lock again on this thread
    return 0


def failing(ctx):
    raise ValueError("expected")


def worker(kind, sizes, errors):
    try:
        gmap = gorvin.Modeler3D().make_gmap()
        square_grid(gmap, K)
        fn = {"sleepy": sleepy, "nested": nested, "failing": failing}[kind]
        rule = make_rule(left=[("a", [0, 1, 2], True)], right=[("a", [0, 1, 2], [gorvin.Expr3DEbd01("v", fn)])])
        for _ in range(ROUNDS):
            try:
                gmap.apply(rule, [0])
            except ValueError:
                pass
        sizes[kind] = len(gmap)
    except BaseException as error:  # reported by the main thread
        errors.append(repr(error))


sizes, errors = {}, []
threads = [threading.Thread(target=worker, args=(kind, sizes, errors)) for kind in ("sleepy", "nested", "failing") * 2]
for thread in threads:
    thread.start()
for thread in threads:
    thread.join()
assert not errors, errors
darts = 8 * K * K  # one row per dart; each nested call adds two
expected = {"sleepy": darts, "nested": darts + ROUNDS * darts * 2, "failing": darts}
assert sizes == expected, (sizes, expected)
print("done")
"""


def test_threads_on_separate_gmaps_finish():
    here = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([here] + sys.path))
    result = subprocess.run([sys.executable, "-c", WORKERS], env=env, capture_output=True, text=True, timeout=240)
    assert result.returncode == 0, result.stderr[-3000:]
    assert result.stdout == "done\n"
