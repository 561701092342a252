"""Times Islet([0, 1, 2])(gmap) against one Orbit([0, 1, 2]) walk over the same darts, on the
k x k grid of square faces and on an alpha0/alpha1 chain whose ids run 0, n-1, n-2, ..., 1.

Run from the repository root with the module on the path, for example:
    PYTHONPATH=build/dev python bench/islet_vs_orbit.py [k = 1000] [n = 1000000]
"""
import sys
import time

import gorvinpy_bin as gorvin
from grid import link_grid


def chain(gmap, n):
    gmap.make_darts(n)
    order = [0] + list(range(n - 1, 0, -1))
    for step in range(n - 1):
        gmap.linkAlpha(step % 2, order[step], order[step + 1])


def timed(what, work):
    start = time.perf_counter()
    result = work()
    seconds = time.perf_counter() - start
    print(f"  {what:<34} {seconds:8.3f} s")
    return seconds, result


def compare(name, build, size):
    gmap = gorvin.Modeler3D().make_gmap()
    timed(f"build {name}", lambda: build(gmap, size))
    dims = [0, 1, 2]
    orbit_time, darts = timed("Orbit([0, 1, 2])(gmap, 0)", lambda: gorvin.Orbit(dims)(gmap, 0))
    islet_time, labels = timed("Islet([0, 1, 2])(gmap)", lambda: gorvin.Islet(dims)(gmap))
    assert len(darts) == len(labels) == len(gmap) and set(labels) == {0}
    print(f"  islet / orbit: {islet_time / orbit_time:.2f} ({len(gmap)} darts)")


def main():
    k = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    print(f"grid {k} x {k}")
    compare("grid", link_grid, k)
    print(f"chain of {n} darts")
    compare("chain", chain, n)


if __name__ == "__main__":
    main()
