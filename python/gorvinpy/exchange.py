"""Moving polygon meshes in and out of G-maps, and to and from mesh files.

Import lays each face out as an alpha0/alpha1 cycle of darts, sews faces by alpha2 along shared
edges and stores each dart's point as its position. Export numbers the vertices and faces with
`extractGeometryCompacted3D`, reads a position per vertex and turns the faces of each connected part
the same way round, outwards for a closed surface.
"""

from __future__ import annotations

from collections import deque
from pathlib import Path
from typing import Dict, List, Optional, Sequence

import gorvinpy_bin

from .checks import live_darts
from .layout import polygon_layout
from .mesh_files import read_volume_mesh, write_volume_mesh
from .meshio import PathLike, PolygonMesh, by_suffix, read_mesh, write_obj, write_ply
from .positions import position, set_position

_WRITERS = {".obj": write_obj, ".ply": write_ply}
_READERS = (".obj", ".off")
_CONNECTED_PART = gorvinpy_bin.Islet([0, 1, 2, 3])


def add_mesh(
    gmap: gorvinpy_bin.GMap3D, points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]]
) -> range:
    """Adds the faces of a polygon mesh to a G-map and returns the ids of the new darts.

    Points that no face uses make no dart. Each face needs at least three point indices.
    """
    layout = polygon_layout(faces, len(points))
    first = gmap.size()
    gmap.make_darts(len(layout))
    for dim, pairs in enumerate(layout.links):
        for a, b in pairs:
            gmap.linkAlpha(dim, first + a, first + b)
    for dart, vertex in enumerate(layout.vertex):
        set_position(gmap, first + dart, points[vertex])
    return range(first, first + len(layout))


def to_mesh(gmap: gorvinpy_bin.GMap3D) -> PolygonMesh:
    """The vertices (their positions) and faces of a G-map, faces turned consistently per connected part."""
    representatives, faces = gmap.extractGeometryCompacted3D()
    mesh = PolygonMesh([position(gmap, dart) for dart in representatives], [])
    side = _orientation(gmap)
    part = _CONNECTED_PART(gmap)
    starts = [walk[0] for walk in gmap.extractFaces3D()]
    by_part: Dict[int, List[List[int]]] = {}
    for start, face in zip(starts, faces):
        oriented = list(face) if side[start] == 0 else [face[0]] + list(reversed(face[1:]))
        mesh.faces.append(oriented)
        by_part.setdefault(part[start], []).append(oriented)
    for part_faces in by_part.values():
        if _signed_volume(mesh.points, part_faces) < 0:
            for face in part_faces:
                face[1:] = reversed(face[1:])
    return mesh


def import_mesh(path: PathLike, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Reads a mesh file into a G-map (a new one by default) and returns the G-map: .obj and .off
    with the package's readers, every other format meshio reads through meshio (volumes included)."""
    if Path(path).suffix.lower() not in _READERS:
        return read_volume_mesh(path, gmap)
    mesh = read_mesh(path)
    target = gmap if gmap is not None else gorvinpy_bin.Modeler3D().make_gmap()
    add_mesh(target, mesh.points, mesh.faces)
    return target


def export_mesh(gmap: gorvinpy_bin.GMap3D, path: PathLike):
    """Writes a G-map with positions by the file's suffix: .obj and .ply with the package's writers
    (returns the PolygonMesh written), every other format meshio writes through meshio (returns the
    meshio.Mesh written; closed volumes become volume cells where the format holds them)."""
    if Path(path).suffix.lower() not in _WRITERS:
        return write_volume_mesh(gmap, path)
    write = by_suffix(path, _WRITERS)
    mesh = to_mesh(gmap)
    write(path, mesh.points, mesh.faces)
    return mesh


def _orientation(gmap: gorvinpy_bin.GMap3D) -> Dict[int, int]:
    """Splits the live darts in two sides: every alpha0, alpha1 or alpha2 link crosses sides."""
    side: Dict[int, int] = {}
    for seed in sorted(live_darts(gmap)):
        if seed in side:
            continue
        side[seed] = 0
        pending = deque([seed])
        while pending:
            dart = pending.popleft()
            for dim in (0, 1, 2):
                neighbour = gmap.alpha(dart, dim).id
                if neighbour not in side:
                    side[neighbour] = 1 - side[dart]
                    pending.append(neighbour)
    return side


def _signed_volume(points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]]) -> float:
    """Six times the volume enclosed by faces (positive when they turn anticlockwise seen from outside)."""
    total = 0.0
    for face in faces:
        ax, ay, az = points[face[0]]
        for i in range(1, len(face) - 1):
            bx, by, bz = points[face[i]]
            cx, cy, cz = points[face[i + 1]]
            total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
    return total
