"""The grid workload through gorvinpy_bin, and the per-call cost of the kernel's Python API beside
no-op bound methods that take the same arguments and return the same kind of result."""

import statistics
import sys
import time

import gorvin_bench_floor

import gorvinpy_bin as g
from grid import grid, grid_links, link_grid, triangulation_rule
from table import print_table

REPEATS = 5


def build(k):
    gmap, links = g.Modeler3D().make_gmap(), list(grid_links(k))
    start = time.perf_counter()
    link_grid(gmap, k, links)
    return gmap, time.perf_counter() - start


def timed(work):
    start = time.perf_counter()
    work()
    return time.perf_counter() - start


def workload(k):
    """{operation: seconds} for one run on a fresh k x k grid."""
    gmap, seconds = build(k)
    faces = range(0, 8 * k * k, 8)
    face_orbit, surface = g.Orbit([0, 1]), g.Orbit([0, 1, 2])
    results = {"build (make_darts, linkAlpha)": seconds}
    results["face orbits"] = timed(lambda: [face_orbit(gmap, d) for d in faces])
    results["vertex islet"] = timed(lambda: g.Islet([1, 2, 3])(gmap))
    results["component islet"] = timed(lambda: g.Islet([0, 1, 2])(gmap))
    results["surface orbit"] = timed(lambda: surface(gmap, 0))
    results["extraction"] = timed(gmap.extractGeometryCompacted3D)
    plain = triangulation_rule()
    results["triangulation"] = timed(lambda: gmap.apply(plain, [0]))
    gmap, _ = build(k)
    traced = triangulation_rule(centre=[g.Expr3DEbdDart("t", lambda context: None)])
    results["triangulation, one expression per row"] = timed(lambda: gmap.apply(traced, [0]))
    return results


def per_call(call, args, calls=200_000):
    """Median over REPEATS of the seconds per call of call(*args)."""
    samples = []
    for _ in range(REPEATS):
        start = time.perf_counter()
        for _ in range(calls):
            call(*args)
        samples.append((time.perf_counter() - start) / calls)
    return statistics.median(samples)


def api_rows():
    gmap, floor = grid(1), gorvin_bench_floor.Floor()
    items = list(range(8))
    pairs = [
        ("GMap3D.alpha(id, dim)", per_call(gmap.alpha, (3, 1)), "no-op bound method", per_call(floor.alpha, (3, 1))),
        ("GMap3D.linkAlpha(dim, a, b)", per_call(gmap.linkAlpha, (0, 2, 3)), "no-op bound method",
         per_call(floor.linkAlpha, (0, 2, 3))),
        ("Orbit([0, 1])(gmap, dart) on a square face", per_call(g.Orbit([0, 1]), (gmap, 0)),
         "set(list of 8 ints)", per_call(set, (items,))),
    ]
    return [[call, f"{ours * 1e9:.0f}", floor_name, f"{floor_cost * 1e9:.0f}", f"{ours / floor_cost:.2f}"]
            for call, ours, floor_name, floor_cost in pairs]


def main():
    ks = [int(k) for k in sys.argv[1:]] or [100]
    rows = []
    for k in ks:
        runs = [workload(k) for _ in range(3)]
        rows += [[op, k, f"{statistics.median(run[op] for run in runs):.4f}"] for op in runs[0]]
    print("Python API on the grid, median of 3 runs (seconds)")
    print_table(["operation", "k", "seconds"], rows)
    print(f"\nPython API per call, median of {REPEATS} (nanoseconds)")
    print_table(["call", "ns", "floor", "floor ns", "ratio"], api_rows())


if __name__ == "__main__":
    main()
