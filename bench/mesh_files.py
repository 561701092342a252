"""Whole meshes through gorvinpy against trimesh, side by side in one run: import_mesh against
trimesh.load(path, process=False), export_mesh (.obj) against trimesh's OBJ export, and
check_gmap + cell_counts against trimesh's load of the same file. The meshes: a public OFF mesh
from Debian's libcgal-demo data (scripts/mesh-data.sh fetches it) and a generated bumpy torus of
triangles written as OBJ. Prints medians and the ratios gorvinpy / trimesh."""

import argparse
import gc
import statistics
import tempfile
import time
from pathlib import Path

import numpy as np
import trimesh

import gorvinpy
from public_mesh import public_mesh_path
from table import print_table

TARGETS = {"import": 1.0, "export .obj": 1.0, "check + counts": 0.1}


def torus(rings, segments):
    """A closed torus of 2 * rings * segments triangles with a rippled surface."""
    u = np.linspace(0, 2 * np.pi, rings, endpoint=False)[:, None]
    v = np.linspace(0, 2 * np.pi, segments, endpoint=False)[None, :]
    tube = 0.3 + 0.02 * np.sin(12 * u) * np.cos(9 * v)
    points = np.stack(
        [(1 + tube * np.cos(v)) * np.cos(u), (1 + tube * np.cos(v)) * np.sin(u), tube * np.sin(v)], axis=-1
    ).reshape(-1, 3)
    i, j = np.meshgrid(np.arange(rings), np.arange(segments), indexing="ij")
    a, b = i * segments + j, ((i + 1) % rings) * segments + j
    c, d = ((i + 1) % rings) * segments + (j + 1) % segments, i * segments + (j + 1) % segments
    faces = np.stack([np.stack([a, b, c], -1), np.stack([a, c, d], -1)], axis=2)  # both halves of a quad together
    return points, faces.reshape(-1, 3)


def timed(work):
    gc.collect()
    start = time.perf_counter()
    result = work()
    return time.perf_counter() - start, result


def measure(path, runs, scratch):
    """{operation: ([gorvinpy seconds], [trimesh seconds])} and the number of darts."""
    times = {name: ([], []) for name in TARGETS}
    darts = 0
    for _ in range(runs):
        load, reference = timed(lambda: trimesh.load(path, process=False))
        seconds, gmap = timed(lambda: gorvinpy.import_mesh(path))
        darts = gmap.size()
        times["import"][0].append(seconds)
        times["import"][1].append(load)
        times["export .obj"][0].append(timed(lambda: gorvinpy.export_mesh(gmap, scratch / "gorvin.obj"))[0])
        times["export .obj"][1].append(timed(lambda: reference.export(scratch / "trimesh.obj"))[0])
        checks, (faults, counts) = timed(lambda: (gorvinpy.check_gmap(gmap), gorvinpy.cell_counts(gmap)))
        assert not faults and counts.vertices == len(reference.vertices), (faults[:3], counts)
        times["check + counts"][0].append(checks)
        times["check + counts"][1].append(load)
        gmap = reference = None  # both freed before the next run
    return times, darts


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=3, help="runs of each side per mesh")
    parser.add_argument("--rings", type=int, default=625, help="torus size: 12 * rings * segments darts")
    parser.add_argument("--segments", type=int, default=667)
    args = parser.parse_args()
    public = public_mesh_path()
    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        generated = scratch / "torus.obj"
        gorvinpy.write_obj(generated, *torus(args.rings, args.segments))
        rows = []
        for name, path in ((public.name, public), ("generated torus.obj", generated)):
            times, darts = measure(path, args.runs, scratch)
            for operation, (ours, theirs) in times.items():
                ours, theirs = statistics.median(ours), statistics.median(theirs)
                ratio = ours / theirs
                target = TARGETS[operation]
                rows.append([name, f"{darts:,}", operation, f"{ours:.3f}", f"{theirs:.3f}", f"{ratio:.2f}",
                             f"<= {target}" if ratio <= target else f"MISSED {target}"])
    print(f"medians of {args.runs} runs; trimesh column: its load for import and check + counts, its export for export")
    print_table(["mesh", "darts", "operation", "gorvinpy s", "trimesh s", "ratio", "target"], rows)


if __name__ == "__main__":
    main()
