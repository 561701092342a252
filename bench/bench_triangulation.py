"""Barycentric triangulation of every face of the k x k grid by one rule application, through the
Python API: without expressions, and with one trivial Python expression per created node.

Run: PYTHONPATH=build/dev .venv/bin/python bench/bench_triangulation.py 100 300 1000
"""
import sys
import time

import gorvinpy_bin as gorvin


def grid(k):
    """Face f = j*k + i owns darts 8f .. 8f+7; darts 2, 3 meet darts 7, 6 of the face on the right,
    darts 4, 5 meet darts 1, 0 of the face above."""
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.resize(8 * k * k)
    link = gmap.linkAlpha
    for j in range(k):
        for i in range(k):
            f = 8 * (j * k + i)
            for e in (0, 2, 4, 6):
                link(0, f + e, f + e + 1)
                link(1, f + e + 1, f + (e + 2) % 8)
            if i + 1 < k:
                link(2, f + 2, f + 15)
                link(2, f + 3, f + 14)
            if j + 1 < k:
                link(2, f + 4, f + 8 * k + 1)
                link(2, f + 5, f + 8 * k)
    return gmap


def triangulation(exprs):
    rule = gorvin.Rule3D("triangulate")
    rule.make_leftnode("a", [0, 1, 2], True)
    a = rule.make_rightnode("a", [0, -1, 2])
    b = rule.make_rightnode("b", [-1, 2, -1], exprs)
    c = rule.make_rightnode("c", [1, 2, -1], exprs)
    rule.linkRightNodes(1, a, b)
    rule.linkRightNodes(0, b, c)
    rule.compile()
    return rule


def measure(k, exprs, label):
    start = time.perf_counter()
    gmap = grid(k)
    built = time.perf_counter() - start
    before = len(gmap)
    start = time.perf_counter()
    gmap.apply(triangulation(exprs), [0])
    seconds = time.perf_counter() - start
    created = len(gmap) - before
    print(f"k={k:<5} {label:<16} grid {built:6.2f} s  created={created:<9} {seconds:7.3f} s  "
          f"{created / seconds / 1e6:6.2f} M darts/s", flush=True)


def main():
    for k in map(int, sys.argv[1:] or ["100", "300"]):
        measure(k, [], "no expression")
        measure(k, [gorvin.Expr3DEbdDart("t", lambda ctx: None)], "one expression")


if __name__ == "__main__":
    main()
