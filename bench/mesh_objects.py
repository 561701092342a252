"""Meshes as objects through gorvinpy, with trimesh's load of the same file in the same run as the unit:
from_trimesh / to_trimesh, from_meshio / to_meshio and from_pyvista / to_pyvista (PolyData) on the
public OFF mesh of scripts/mesh-data.sh and on the generated torus of mesh_files.py, each with one
float per point and one int per face as point and cell data, and without. Prints medians and the
ratio of each conversion to trimesh.load(path, process=False)."""

import argparse
import statistics
import tempfile
from pathlib import Path

import meshio
import numpy as np
import pyvista
import trimesh

import gorvinpy
from mesh_files import timed, torus
from public_mesh import public_mesh_path
from table import print_table


def conversions(reference, with_data):
    """(name, work) pairs, each work a function of the G-map made by the one before it."""
    vertices, faces = np.asarray(reference.vertices), np.asarray(reference.faces)
    point_data = {"heat": vertices[:, 2].copy()} if with_data else {}
    cell_data = {"label": np.arange(len(faces))} if with_data else {}
    source = trimesh.Trimesh(vertices, faces, process=False, vertex_attributes=point_data, face_attributes=cell_data)
    as_meshio = meshio.Mesh(vertices, [("triangle", faces)], point_data=point_data,
                            cell_data={k: [v] for k, v in cell_data.items()})
    as_pyvista = pyvista.PolyData(vertices, np.hstack([np.full((len(faces), 1), 3), faces]).reshape(-1))
    for name, values in point_data.items():
        as_pyvista.point_data[name] = values
    for name, values in cell_data.items():
        as_pyvista.cell_data[name] = values
    return [
        ("from_trimesh", lambda: gorvinpy.from_trimesh(source)), ("to_trimesh", gorvinpy.to_trimesh),
        ("from_meshio", lambda: gorvinpy.from_meshio(as_meshio)), ("to_meshio", gorvinpy.to_meshio),
        ("from_pyvista", lambda: gorvinpy.from_pyvista(as_pyvista)), ("to_pyvista", gorvinpy.to_pyvista),
    ]


def measure(path, runs, with_data):
    times, darts = {}, 0
    for _ in range(runs):
        load, reference = timed(lambda: trimesh.load(path, process=False, force="mesh"))
        times.setdefault("trimesh.load", []).append(load)
        gmap = None
        for name, work in conversions(reference, with_data):
            seconds, made = timed(work if name.startswith("from") else lambda: work(gmap))
            if name.startswith("from"):
                gmap = made
                darts = len(gmap)
            times.setdefault(name, []).append(seconds)
    return {name: statistics.median(values) for name, values in times.items()}, darts


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--rings", type=int, default=625, help="torus size: 12 * rings * segments darts")
    parser.add_argument("--segments", type=int, default=667)
    args = parser.parse_args()
    public = public_mesh_path()
    rows = []
    with tempfile.TemporaryDirectory() as scratch:
        generated = Path(scratch) / "torus.obj"
        gorvinpy.write_obj(generated, *torus(args.rings, args.segments))
        for label, path in ((public.name, public), ("generated torus.obj", generated)):
            for with_data in (False, True):
                medians, darts = measure(path, args.runs, with_data)
                unit = medians.pop("trimesh.load")
                for name, seconds in medians.items():
                    rows.append([label, f"{darts:,}", "yes" if with_data else "no", name, f"{seconds:.3f}",
                                 f"{unit:.3f}", f"{seconds / unit:.2f}", f"{darts / seconds / 1e6:.1f}"])
    print(f"medians of {args.runs} runs; data: a float per point and an int per face")
    print_table(["mesh", "darts", "data", "conversion", "gorvinpy s", "trimesh.load s", "ratio", "M darts/s"], rows)


if __name__ == "__main__":
    main()
