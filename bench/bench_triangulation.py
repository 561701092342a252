"""Barycentric triangulation of every face of the k x k grid by one rule application, through the
Python API: without expressions, and with one trivial Python expression per created node.

Run: PYTHONPATH=build/dev .venv/bin/python bench/bench_triangulation.py 100 300 1000
"""
import sys
import time

import gorvinpy_bin as gorvin
from grid import grid, triangulation_rule


def measure(k, exprs, label):
    start = time.perf_counter()
    gmap = grid(k)
    built = time.perf_counter() - start
    before = len(gmap)
    start = time.perf_counter()
    gmap.apply(triangulation_rule(side=exprs, centre=exprs), [0])
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
