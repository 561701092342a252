"""The user path on one large quad grid: add_mesh, cell_counts, check_gmap and triangulate with
positions, with user, system and wall seconds per step and the peak resident memory per dart after
each. System time is mostly the kernel supplying fresh pages. The 3536 x 3536 grid holds 10^8 darts
and needs about 16 GB with the triangulation; run it by hand, never in tests.

Run: PYTHONPATH=build/dev .venv/bin/python bench/user_path_large.py [k ...]   (default 1000 3536)
"""

import os
import resource
import sys
import time

import numpy as np

import gorvinpy
import gorvinpy_bin as gorvin
from table import print_table


def quad_grid(k):
    """Points and (k*k, 4) faces of the k x k grid of unit squares."""
    j, i = np.divmod(np.arange((k + 1) * (k + 1)), k + 1)
    points = np.stack([i, j, np.zeros_like(i)], axis=1).astype(float)
    corner = (np.arange(k * k) // k) * (k + 1) + np.arange(k * k) % k
    return points, np.stack([corner, corner + 1, corner + k + 2, corner + k + 1], axis=1)


def peak_bytes():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


def timed(step, action, darts, rows):
    before, wall = os.times(), time.perf_counter()
    action()
    after = os.times()
    rows.append([step, f"{after.user - before.user:.2f}", f"{after.system - before.system:.2f}",
                 f"{time.perf_counter() - wall:.2f}", f"{peak_bytes() / darts:.1f}"])


def main():
    rows = []
    for k in map(int, sys.argv[1:] or ["1000", "3536"]):
        darts = 8 * k * k
        points, faces = quad_grid(k)
        gmap = gorvin.Modeler3D().make_gmap()
        steps = [("add_mesh", lambda: gorvinpy.add_mesh(gmap, points, faces)),
                 ("cell_counts", lambda: gorvinpy.cell_counts(gmap)),
                 ("check_gmap", lambda: gorvinpy.check_gmap(gmap)),
                 ("triangulate", lambda: gorvinpy.apply(gmap, gorvinpy.triangulate(), [0]))]
        for step, action in steps:
            timed(f"{k} x {k} ({darts:,} darts): {step}", action, darts, rows)
    print_table(["step", "user s", "system s", "wall s", "peak bytes / dart of the mesh"], rows)


if __name__ == "__main__":
    main()
