"""catmull_clark() and loop_subdivide() with positions, in new darts per second, against the
engine alone on the same rules without expressions, in the same run; and loop_subdivide() against
trimesh.remesh.subdivide_loop on the same closed mesh (Debian's libcgal-demo refined_elephant.off),
both from their own mesh representation to theirs, with the positions compared.

Workloads: the k x k quad grid (Catmull-Clark) and the same grid cut into triangles (Loop), and the
elephant; all added with gorvinpy.add_mesh as a user would.

Run: make bench-schemes BENCH_ARGS="1000"   (k of the grid)
"""

import gc
import os
import sys
import time

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")  # no idle BLAS threads in the CPU times

import numpy as np  # noqa: E402

import gorvinpy  # noqa: E402
import gorvinpy_bin as gorvin  # noqa: E402
from batch_operations import millions, rate, without_expressions  # noqa: E402
from gorvinpy.operations import subdivision  # noqa: E402
from public_mesh import public_mesh_path  # noqa: E402
from table import print_table  # noqa: E402

SCHEMES = {"catmull_clark": subdivision.catmull_clark, "loop_subdivide": subdivision.loop_subdivide}


def grid_mesh(k, triangles):
    """Points and faces of the k x k grid of unit squares, each square cut in two when asked."""
    j, i = np.divmod(np.arange((k + 1) * (k + 1)), k + 1)
    points = np.stack([i, j, np.zeros_like(i)], axis=1).astype(float)
    a = (np.arange(k * k) // k) * (k + 1) + np.arange(k * k) % k
    b, c, d = a + 1, a + k + 2, a + k + 1
    if triangles:
        return points, np.concatenate([np.stack([a, b, c], axis=1), np.stack([a, c, d], axis=1)])
    return points, np.stack([a, b, c, d], axis=1)


def maker(points, faces):
    def make():
        gmap = gorvin.Modeler3D().make_gmap()
        gorvinpy.add_mesh(gmap, points, faces)
        return gmap

    return make


def measure(label, make_gmap, name):
    rule, plain = SCHEMES[name](), without_expressions(SCHEMES[name], subdivision)
    engine = rate(make_gmap, lambda g: g.apply(plain, [0]))
    batch = rate(make_gmap, lambda g: gorvinpy.apply(g, rule, [0]))
    row = [f"{label}: {name}", f"{batch[0]:,}", f"{engine[1]:.2f} / {engine[2]:.2f}",
           f"{batch[1]:.2f} / {batch[2]:.2f}", f"{millions(engine, 1):.2f} / {millions(engine, 2):.2f}",
           f"{millions(batch, 1):.2f} / {millions(batch, 2):.2f}",
           f"{batch[1] / engine[1]:.2f} / {batch[2] / engine[2]:.2f}"]
    print(*row, sep="  |  ", flush=True)
    return row


def worst_distance(points, expected):
    """The largest distance from a point to its nearest expected point, matched one to one by
    sorting both on rounded coordinates (None when the point sets do not pair up)."""
    if points.shape != expected.shape:
        return None
    order = np.lexsort(np.round(points, 6).T[::-1])
    expected_order = np.lexsort(np.round(expected, 6).T[::-1])
    return float(np.abs(points[order] - expected[expected_order]).max())


def against_trimesh(mesh):
    import trimesh

    vertices, faces = np.asarray(mesh.coordinates), np.asarray(mesh.corners).reshape(-1, 3)
    gmap = maker(vertices, faces)()
    rule = subdivision.loop_subdivide()
    gc.collect()
    start = time.perf_counter()
    gorvinpy.apply(gmap, rule, [0])
    ours = time.perf_counter() - start
    gc.collect()
    start = time.perf_counter()
    theirs_points, theirs_faces = trimesh.remesh.subdivide_loop(vertices, faces)
    theirs = time.perf_counter() - start
    result = gorvinpy.to_mesh(gmap)
    worst = worst_distance(np.asarray(result.coordinates), np.asarray(theirs_points))
    return [f"loop_subdivide, refined_elephant ({len(faces):,} triangles)", f"{ours:.2f}", f"{theirs:.2f}",
            f"{ours / theirs:.2f}", f"{len(result.coordinates):,} / {len(theirs_points):,}",
            "unpaired" if worst is None else f"{worst:.1e}"]


def main():
    k = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    mesh = gorvinpy.read_off(public_mesh_path())
    elephant = maker(mesh.coordinates, np.asarray(mesh.corners).reshape(-1, 3))
    rows = [measure(f"grid {k}x{k} quads", maker(*grid_mesh(k, False)), "catmull_clark"),
            measure(f"grid {k}x{k} triangles", maker(*grid_mesh(k, True)), "loop_subdivide")]
    rows += [measure("refined_elephant", elephant, name) for name in SCHEMES]
    print()
    print("Wall / CPU time of the process; new darts per second in millions.")
    print_table(["workload", "new darts", "engine s", "batch s", "engine M/s", "batch M/s",
                 "batch / engine time"], rows)
    print()
    print_table(["same closed mesh", "gorvinpy s", "trimesh s", "gorvinpy / trimesh", "points", "worst distance"],
                [against_trimesh(mesh)])


if __name__ == "__main__":
    main()
