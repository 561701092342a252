"""Volume cells into darts: volume_darts alone and add_volumes into a new G-map, median seconds over
three runs, on tetrahedra that tetgen makes inside geomview's mushroom.off (at most `volume` each)
and on an n x n x n grid of hexahedra.

    PYTHONPATH=build/dev .venv/bin/python bench/volume_darts.py [max-tetrahedron-volume] [grid-size]
"""

import sys

import numpy as np
import tetgen

import gorvinpy
import gorvinpy_bin
from gorvinpy.geometry.volumes import volume_darts
from mesh_readers import median_seconds
from table import print_table


def mushroom(volume):
    surface = gorvinpy.read_off("/usr/share/geomview/geom/mushroom.off")
    triangles = [[face[0], face[i], face[i + 1]] for face in surface.faces for i in range(1, len(face) - 1)]
    mesher = tetgen.TetGen(np.array(surface.points), np.array(triangles))
    mesher.tetrahedralize(quality=True, fixedvolume=1, maxvolume=volume)
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", mesher.elem[:, :4])
    return mesher.node, cells


def hexahedra(n):
    index = np.arange((n + 1) ** 3).reshape(n + 1, n + 1, n + 1)
    points = np.stack(np.meshgrid(*[np.arange(n + 1.0)] * 3, indexing="ij"), axis=-1).reshape(-1, 3)
    i, j, k = (a.reshape(-1) for a in np.meshgrid(*[np.arange(n)] * 3, indexing="ij"))
    corners = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
    cells = gorvinpy.CellFaces()
    cells.add_cells("hexahedron", np.stack([index[i + a, j + b, k + c] for a, b, c in corners], axis=1))
    return points, cells


def main(volume, n):
    rows = []
    for name, (points, cells) in (("tetgen tetrahedra", mushroom(volume)), ("hexahedra", hexahedra(n))):
        darts = len(volume_darts(cells, len(points)).vertex)
        layout = median_seconds(lambda: volume_darts(cells, len(points)))
        added = median_seconds(lambda: gorvinpy.add_volumes(gorvinpy_bin.Modeler3D().make_gmap(), points, cells))
        rows.append([f"{name} ({cells.count} cells, {darts} darts)", f"{layout:.3f}", f"{added:.3f}"])
    print_table(["cells", "volume_darts s", "add_volumes s"], rows)


if __name__ == "__main__":
    main(float(sys.argv[1]) if len(sys.argv) > 1 else 0.000003, int(sys.argv[2]) if len(sys.argv) > 2 else 40)
