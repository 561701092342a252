"""Builds a cube from nothing with the rule library, triangulates and subdivides it, checks it, and
writes an OBJ file and a PNG picture of it to an output folder (default: out/).

    python examples/main.py [output-folder]
"""

import sys
import time
from pathlib import Path

import gorvinpy
import gorvinpy_bin as gorvin


def report(step, gmap):
    counts = gorvinpy.cell_counts(gmap)
    print(
        f"{step:<14} darts {gmap.size():4}  vertices {counts.vertices:3}  edges {counts.edges:3}  "
        f"faces {counts.faces:3}  Euler characteristic {counts.euler}"
    )


def main(output):
    started = time.perf_counter()
    output.mkdir(parents=True, exist_ok=True)
    gmap = gorvin.Modeler3D().make_gmap()

    gorvinpy.apply(gmap, gorvinpy.cube(size=2.0))
    report("cube", gmap)
    gorvinpy.apply(gmap, gorvinpy.triangulate(), [0])
    report("triangulated", gmap)
    gorvinpy.apply(gmap, gorvinpy.quad_subdivide(), [0])
    report("subdivided", gmap)

    faults = gorvinpy.check_gmap(gmap)
    print("G-map conditions:", "all hold" if not faults else f"{len(faults)} faults, first: {faults[0]}")

    obj_path = output / "cube.obj"
    gorvinpy.export_mesh(gmap, obj_path)
    again = gorvinpy.cell_counts(gorvinpy.import_mesh(obj_path))
    print(f"wrote {obj_path}; read back: {again.vertices} vertices, {again.edges} edges, {again.faces} faces")

    png_path = output / "cube.png"
    gorvinpy.render_png(gmap, png_path, title="cube, triangulated, then quad-subdivided")
    print(f"wrote {png_path} in {time.perf_counter() - started:.1f} s")


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path("out"))
