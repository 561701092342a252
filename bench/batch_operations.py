"""triangulate() and quad_subdivide() with positions, in new darts per second: the rule library
through gorvinpy.apply (positions evaluated natively for all rows), the same rules through
gmap.apply (one Python call per row and node), and the engine alone on the same rules without
expressions, in the same run. Workloads: the k x k quad grid and a real public mesh (Debian's
libcgal-demo data, refined_elephant.off: 88,928 triangles, 533,568 darts), both added with
gorvinpy.add_mesh as a user would.

Run: make bench-batch BENCH_ARGS="1000 150"   (k of the grid, k of the per-row grid)
Per-row expressions create about 0.1 million darts a second, so they run on the smaller grid.
"""

import gc
import os
import sys
import time
from unittest import mock

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")  # no idle BLAS threads in the CPU times

import numpy as np  # noqa: E402

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy.operations import surface as operations
from public_mesh import public_mesh_path
from table import print_table

OPERATIONS = {"triangulate": gorvinpy.triangulate, "quad_subdivide": gorvinpy.quad_subdivide}


def quad_grid(k):
    """The k x k grid of unit squares with a position on every dart, imported as a mesh is."""
    j, i = np.divmod(np.arange((k + 1) * (k + 1)), k + 1)
    points = np.stack([i, j, np.zeros_like(i)], axis=1).astype(float)
    corner = (np.arange(k * k) // k) * (k + 1) + np.arange(k * k) % k
    faces = np.stack([corner, corner + 1, corner + k + 2, corner + k + 1], axis=1)
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, points, faces)
    return gmap


def public_mesh():
    mesh = gorvinpy.read_off(public_mesh_path())
    return lambda: _with_mesh(mesh)


def _with_mesh(mesh):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, mesh.points, mesh.faces)
    return gmap


def without_expressions(operation, module=operations):
    """The rule `operation` of `module` (nodes, orbits, links) with no expression and no
    precondition: what the engine alone does on the same rows."""
    library_rule = module.rule

    def plain(name, hook_orbit, nodes, links=(), *values, **options):
        return library_rule(name, hook_orbit, nodes, links)

    with mock.patch.object(module, "rule", plain):
        return operation()


def rate(make_gmap, apply):
    """(new darts, wall seconds, CPU seconds) of one application on a fresh G-map."""
    gmap = make_gmap()
    before = len(gmap)
    gc.collect()
    wall, cpu = time.perf_counter(), time.process_time()
    apply(gmap)
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    created = len(gmap) - before
    del gmap
    gc.collect()
    return created, wall, cpu


def millions(run, index):
    return run[0] / run[index] / 1e6


def measure(label, make_gmap, per_row_label, make_small):
    rows = []
    for name, operation in OPERATIONS.items():
        rule, plain = operation(), without_expressions(operation)
        engine = rate(make_gmap, lambda g: g.apply(plain, [0]))
        batch = rate(make_gmap, lambda g: gorvinpy.apply(g, rule, [0]))
        per_row = rate(make_small, lambda g: g.apply(rule, [0]))
        rows.append([f"{label}: {name}", f"{batch[0]:,}",
                     f"{engine[1]:.2f} / {engine[2]:.2f}", f"{batch[1]:.2f} / {batch[2]:.2f}",
                     f"{millions(engine, 1):.2f} / {millions(engine, 2):.2f}",
                     f"{millions(batch, 1):.2f} / {millions(batch, 2):.2f}",
                     f"{batch[1] / engine[1]:.1f} / {batch[2] / engine[2]:.1f}",
                     f"{millions(per_row, 1):.3f} / {millions(per_row, 2):.3f} ({per_row_label})",
                     f"{millions(batch, 1) / millions(per_row, 1):.0f}x"])
        print(*rows[-1], sep="  |  ", flush=True)
    return rows


def main():
    k = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    small = int(sys.argv[2]) if len(sys.argv) > 2 else 150
    rows = measure(f"grid {k}x{k} ({8 * k * k:,} darts)", lambda: quad_grid(k), f"grid {small}x{small}",
                   lambda: quad_grid(small))
    elephant = public_mesh()
    rows += measure(f"refined_elephant ({len(elephant()):,} darts)", elephant, "same mesh", elephant)
    print()
    print("Figures are wall / CPU time of the process; new darts per second in millions.")
    print_table(["workload", "new darts", "engine s", "batch s", "engine M/s", "batch M/s",
                 "batch / engine time", "per-row M/s (on)", "batch / per-row"], rows)


if __name__ == "__main__":
    main()
