"""The HTML page of a G-map of about a million darts in headless Chromium (WebGL on SwiftShader):
the time to write the page, the time from navigation until the first picture is drawn, and the
time to redraw after a rotation (the frame drawn while the view moves, and the full-resolution frame
that follows once it rests), in the face view as written, with the volumes not exploded, and with the
dart view turned on. Beside it,
trimesh's own HTML page of the same faces (scene_to_html) is timed in the same run: its page
loads its viewer from the network, so only the page writing is compared.

Workloads: the k x k grid of squares as a mesh (k = 354: 1,002,528 darts) and an n x n x n grid
of hexahedral volumes (n = 28: 1,053,696 darts)."""

import argparse
import statistics
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import gorvinpy
import gorvinpy_bin as gorvin

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests"))
from browser import Browser  # noqa: E402
from table import print_table  # noqa: E402


def square_grid(k):
    index = np.arange((k + 1) ** 2).reshape(k + 1, k + 1)
    j, i = (a.reshape(-1) for a in np.meshgrid(np.arange(k), np.arange(k), indexing="ij"))
    faces = np.stack([index[j, i], index[j, i + 1], index[j + 1, i + 1], index[j + 1, i]], axis=1)
    y, x = np.meshgrid(np.arange(k + 1.0), np.arange(k + 1.0), indexing="ij")
    points = np.stack([x.reshape(-1), y.reshape(-1), 0.02 * np.sin(x / 7).reshape(-1) * k], axis=1)
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, points, faces)
    return gmap, points, faces


def hexahedra(n):
    index = np.arange((n + 1) ** 3).reshape(n + 1, n + 1, n + 1)
    points = np.stack(np.meshgrid(*[np.arange(n + 1.0)] * 3, indexing="ij")[::-1], axis=-1).reshape(-1, 3)
    k, j, i = (a.reshape(-1) for a in np.meshgrid(*[np.arange(n)] * 3, indexing="ij"))
    corners = [(0, 0, 0), (0, 0, 1), (0, 1, 1), (0, 1, 0)]
    cells = np.stack([index[k + dk, j + dj, i + di] for dk, dj, di in corners]
                     + [index[k + 1 + dk, j + dj, i + di] for dk, dj, di in corners], axis=1)
    gmap = gorvin.Modeler3D().make_gmap()
    faces = gorvinpy.CellFaces()
    faces.add_cells("hexahedron", cells)
    gorvinpy.add_volumes(gmap, points, faces)
    mesh = gorvinpy.to_mesh(gmap)
    return gmap, mesh.coordinates, np.asarray(mesh.faces)


def trimesh_page_seconds(points, faces):
    import trimesh
    from trimesh.viewer.notebook import scene_to_html

    quads = np.asarray(faces)
    triangles = np.concatenate([quads[:, [0, 1, 2]], quads[:, [0, 2, 3]]])
    start = time.perf_counter()
    scene_to_html(trimesh.Scene(trimesh.Trimesh(points, triangles, process=False)))
    return time.perf_counter() - start


def redraws(browser, view, turns):
    """Median milliseconds of the frame drawn at once after a rotation step (the frame a user sees
    while dragging, at the reduced motion resolution), and of the full-resolution frame that
    replaces it once the view rests (drawn here at once instead of after the page's pause)."""
    frames = [(browser.evaluate("gorvin.turn(7)"), browser.evaluate("gorvin.refine()")) for _ in range(turns)]
    moving, resting = zip(*frames)
    return {f"turn ms {view}": f"{statistics.median(moving):.0f}",
            f"rest ms {view}": f"{statistics.median(resting):.0f}"}


def measure(name, gmap, points, faces, folder, turns):
    page = folder / f"{name}.html"
    start = time.perf_counter()
    gorvinpy.export_html(gmap, page)
    write = time.perf_counter() - start
    row = {"workload": name, "darts": f"{len(gmap):,}", "page MB": f"{page.stat().st_size / 1e6:.1f}",
           "write s": f"{write:.2f}"}
    peer = trimesh_page_seconds(points, faces)
    row["trimesh page s"] = f"{peer:.2f}"
    row["write / trimesh"] = f"{write / peer:.2f}"
    with Browser(1000, 800) as browser:
        start = time.perf_counter()
        browser.open(page, timeout=120)
        wall = time.perf_counter() - start
        row["load+draw s (page)"] = f"{browser.evaluate('gorvin.loadedAt') / 1000:.2f}"
        row["load+draw s (wall)"] = f"{wall:.2f}"
        row.update(redraws(browser, "faces", turns))
        browser.evaluate("gorvin.show({explode: 0})")
        row.update(redraws(browser, "explode 0", turns))
        start = time.perf_counter()
        browser.evaluate("gorvin.show({darts: true, faces: false})")
        row["darts on s"] = f"{time.perf_counter() - start:.2f}"
        row.update(redraws(browser, "darts", turns))
        errors = browser.errors()
    if errors:
        raise RuntimeError(f"the page of {name} reported: {errors}")
    return row


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--grid", type=int, default=354, help="squares along a side of the surface grid")
    parser.add_argument("--cells", type=int, default=28, help="hexahedra along a side of the volume grid")
    parser.add_argument("--turns", type=int, default=9, help="rotations timed per view")
    arguments = parser.parse_args()
    rows = []
    with tempfile.TemporaryDirectory() as folder:
        workloads = (("surface grid", square_grid, arguments.grid), ("hexahedra", hexahedra, arguments.cells))
        for name, make, size in workloads:
            gmap, points, faces = make(size)
            rows.append(measure(f"{name} {size}", gmap, points, faces, Path(folder), arguments.turns))
            del gmap
    print_table(list(rows[0]), [list(row.values()) for row in rows])


if __name__ == "__main__":
    main()
