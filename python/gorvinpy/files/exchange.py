"""Mesh files in and out of G-maps, chosen by the file's suffix: .obj and .off through the package's
own readers and writers, every other format through meshio."""

from __future__ import annotations

from pathlib import Path
from typing import Optional

import gorvinpy_bin

from .mesh_darts import add_polygon_darts, to_mesh
from .meshio_files import read_volume_mesh, write_volume_mesh
from .polygon_files import PathLike, PolygonMesh, by_suffix, read_mesh, write_mesh_obj, write_ply

_READERS = (".obj", ".off")


def _write_ply(path: PathLike, mesh: PolygonMesh) -> None:
    write_ply(path, mesh.points, mesh.faces)


_WRITERS = {".obj": write_mesh_obj, ".ply": _write_ply}


def import_mesh(path: PathLike, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Reads a mesh file into a G-map (a new one by default) and returns the G-map: .obj and .off
    with the package's readers, every other format meshio reads through meshio (volumes included)."""
    if Path(path).suffix.lower() not in _READERS:
        return read_volume_mesh(path, gmap)
    mesh = read_mesh(path)
    target = gmap if gmap is not None else gorvinpy_bin.Modeler3D().make_gmap()
    add_polygon_darts(target, mesh.coordinates, mesh.corners, mesh.offsets)
    return target


def export_mesh(gmap: gorvinpy_bin.GMap3D, path: PathLike):
    """Writes a G-map with positions by the file's suffix: .obj and .ply with the package's writers
    (returns the PolygonMesh written), every other format meshio writes through meshio (returns the
    meshio.Mesh written; closed volumes become volume cells where the format holds them)."""
    if Path(path).suffix.lower() not in _WRITERS:
        return write_volume_mesh(gmap, path)
    write = by_suffix(path, _WRITERS)
    mesh = to_mesh(gmap)
    write(path, mesh)
    return mesh
