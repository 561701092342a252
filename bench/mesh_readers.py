"""The package's OBJ and OFF readers against meshio's on the same files, and volume import/export
through meshio: median seconds over several runs, and the errors each reader gives for a broken file.

    PYTHONPATH=build/dev .venv/bin/python bench/mesh_readers.py [grid-size]
"""

import statistics
import sys
import tempfile
import time
from pathlib import Path

import meshio
import numpy as np

import gorvinpy
from table import print_table

RUNS = 3


def median_seconds(action):
    times = []
    for _ in range(RUNS):
        started = time.perf_counter()
        action()
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def grid_surface(k, triangles):
    """A k x k grid of quadrangles, or of triangles (each quadrangle cut in two)."""
    points = [(float(i), float(j), 0.0) for j in range(k + 1) for i in range(k + 1)]
    quads = [[j * (k + 1) + i, j * (k + 1) + i + 1, (j + 1) * (k + 1) + i + 1, (j + 1) * (k + 1) + i]
             for j in range(k) for i in range(k)]
    if not triangles:
        return points, quads
    return points, [half for a, b, c, d in quads for half in ([a, b, c], [a, c, d])]


def timed_or_failure(action):
    try:
        return f"{median_seconds(action):.3f}"
    except (Exception, SystemExit) as error:  # meshio exits when it cannot read a file
        return f"fails: {str(error).splitlines()[0][:40]}"


def write_off(path, points, faces):
    with open(path, "w") as file:
        file.write(f"OFF\n{len(points)} {len(faces)} 0\n")
        file.writelines(f"{x} {y} {z}\n" for x, y, z in points)
        file.writelines(f"{len(face)} {' '.join(map(str, face))}\n" for face in faces)


def broken_message(read, path):
    try:
        read(path)
    except (Exception, SystemExit) as error:  # the message is what is compared
        return f"{type(error).__name__}: {str(error)[:90]}"
    return "(no error)"


def main(k):
    folder = Path(tempfile.mkdtemp())
    rows = []
    for triangles in (False, True):
        points, faces = grid_surface(k, triangles)
        shape = "triangles" if triangles else "quadrangles"
        gorvinpy.write_obj(folder / f"{shape}.obj", points, faces)
        write_off(folder / f"{shape}.off", points, faces)
        for suffix, ours in ((".obj", gorvinpy.read_obj), (".off", gorvinpy.read_off)):
            path = folder / f"{shape}{suffix}"
            rows.append([f"read {suffix} ({len(faces)} {shape})", f"{median_seconds(lambda: ours(path)):.3f}",
                         timed_or_failure(lambda: meshio.read(path))])
    for suffix, ours in ((".obj", gorvinpy.read_obj), (".off", gorvinpy.read_off)):
        path = folder / f"triangles{suffix}"
        lines = path.read_text().splitlines()
        lines[len(lines) // 2] = lines[len(lines) // 2].replace(" ", " x", 1)
        broken = folder / f"broken{suffix}"
        broken.write_text("\n".join(lines) + "\n")
        print(f"{suffix} broken line {len(lines) // 2 + 1}:\n  ours:   {broken_message(ours, broken)}\n"
              f"  meshio: {broken_message(meshio.read, broken)}")
    print_table(["operation", "gorvinpy s", "meshio s"], rows)

    n = max(k // 15, 2)
    cube = np.stack(np.meshgrid(*[np.arange(n + 1.0)] * 3, indexing="ij"), axis=-1).reshape(-1, 3)
    index = np.arange((n + 1) ** 3).reshape(n + 1, n + 1, n + 1)
    i, j, h = (a.reshape(-1) for a in np.meshgrid(*[np.arange(n)] * 3, indexing="ij"))
    corners = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
    hexahedra = np.stack([index[i + a, j + b, h + c] for a, b, c in corners], axis=1)
    meshio.write(folder / "grid.vtu", meshio.Mesh(cube, [("hexahedron", hexahedra)]))
    gmap = gorvinpy.import_mesh(folder / "grid.vtu")
    rows = [
        [f"import .vtu ({len(hexahedra)} hexahedra, {gmap.size()} darts)",
         f"{median_seconds(lambda: gorvinpy.import_mesh(folder / 'grid.vtu')):.3f}"],
        ["export .vtu", f"{median_seconds(lambda: gorvinpy.export_mesh(gmap, folder / 'again.vtu')):.3f}"],
        ["save .npz", f"{median_seconds(lambda: gorvinpy.save(gmap, folder / 'grid.npz')):.3f}"],
        ["load .npz", f"{median_seconds(lambda: gorvinpy.load(folder / 'grid.npz')):.3f}"],
    ]
    print_table(["operation", "seconds"], rows)


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 300)
