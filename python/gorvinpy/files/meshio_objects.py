"""meshio.Mesh objects in and out of G-maps, in memory; the mesh files of mesh_files.py go through here.

In: volume cells (tetra, hexahedron, wedge, pyramid, polyhedra) become volumes sewn along shared
faces; surface cells (triangle, quad, polygon) become faces sewn along shared edges, except those
that lie on a volume (a mesher writes the boundary of its volumes again as triangles); lines and
points make no darts. Point data and the cell data of those cells go with them (mesh_data.py).

Out: either the faces of the G-map as polygon cells, or each closed volume as a cell of its type
(or a polyhedron) and the faces of open volumes as polygons; by default volumes when some darts
are sewn along alpha3, the faces otherwise.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, List, Optional, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.polygons import blocks_by_size, fan_triangles, from_blocks
from ..geometry.volumes import (
    CELL_FACES,
    CellFaces,
    VolumeCellError,
    add_volume_darts,
    polygon_type,
    volume_cells,
    volume_darts,
)
from .mesh_darts import add_polygon_darts, surface
from .mesh_data import FACE_SLOT, VERTEX_SLOT, VOLUME_SLOT, common_data, dart_array, read_data, store_data

_SURFACE_TYPES = ("triangle", "quad", "polygon")
_POINT_AND_LINE_TYPES = ("vertex", "line")


def from_meshio(mesh: Any, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Adds a meshio.Mesh to a G-map (a new one by default) and returns the G-map.

    Raises VolumeCellError naming the cell or face that cannot be a volume, or a cell type that is
    not linear.
    """
    points = np.zeros((len(mesh.points), 3))
    points[:, : min(mesh.points.shape[1], 3)] = np.asarray(mesh.points)[:, :3]
    volumes, surfaces = _sorted_blocks(mesh)
    block = volume_darts(volumes.cells, len(points))
    kept = [np.flatnonzero(keep) for keep in _not_on_volumes(surfaces.faces, volumes.cells)]
    corners, offsets = from_blocks([faces[rows] for faces, rows in zip(surfaces.faces, kept)])
    target = gmap if gmap is not None else gorvinpy_bin.Modeler3D().make_gmap()
    volume_darts_added = add_volume_darts(target, points, block)
    face_darts, face_vertex = add_polygon_darts(target, points, corners, offsets)
    if mesh.point_data:
        darts = np.concatenate([dart_array(volume_darts_added), dart_array(face_darts)])
        store_data(target, darts, np.concatenate([block.vertex, face_vertex]), VERTEX_SLOT, mesh.point_data,
                   len(points), "point")
    face_of_dart = np.repeat(np.arange(len(offsets) - 1), 2 * np.diff(offsets) if mesh.cell_data else 0)
    for name, arrays in mesh.cell_data.items():
        if volumes.blocks:
            store_data(target, volume_darts_added, block.cell, VOLUME_SLOT, {name: volumes.rows(arrays)},
                       volumes.cells.count, "volume cell")
        if surfaces.blocks:
            store_data(target, face_darts, face_of_dart, FACE_SLOT, {name: surfaces.rows(arrays, kept)},
                       len(offsets) - 1, "face")
    return target


def to_meshio(gmap: gorvinpy_bin.GMap3D, volumes: Optional[bool] = None, polyhedra: bool = True,
              triangles_only: bool = False, where: str = "a meshio.Mesh"):
    """The G-map as a meshio.Mesh, with point and cell data.

    volumes: volume cells (True), the faces as polygons (False), or volumes when some darts are
    sewn along alpha3 (None). polyhedra: whether a closed volume of another shape than the four
    cell types may become a polyhedron cell (otherwise VolumeCellError naming it and `where`).
    triangles_only: faces cut into fans of triangles.
    """
    import meshio  # type: ignore[import-untyped]

    if volumes is None:
        volumes = has_volumes(gmap)
    if volumes:
        cells = volume_cells(gmap, polyhedra=polyhedra, where=where)
        points, blocks, point_darts = cells.points, cells.blocks, cells.point_darts
        parts = [read_data(gmap, darts, FACE_SLOT if kind.startswith(_SURFACE_TYPES) else VOLUME_SLOT)
                 for (kind, _), darts in zip(blocks, cells.cell_darts)]
    else:
        faces = surface(gmap)
        corners, offsets = faces.mesh.corners, faces.mesh.offsets
        face_data = read_data(gmap, faces.face_darts, FACE_SLOT)
        if triangles_only:
            triangles, face = fan_triangles(corners, offsets)
            groups = [(face, triangles)]
        else:
            groups = blocks_by_size(corners, offsets)
        points, point_darts = faces.mesh.coordinates, faces.point_darts
        blocks = [(polygon_type(group.shape[1]), group) for _, group in groups]
        parts = [{name: array[numbers] for name, array in face_data.items()} for numbers, _ in groups]
    return meshio.Mesh(np.asarray(points, dtype=np.float64).reshape(-1, 3), blocks,
                       point_data=read_data(gmap, point_darts, VERTEX_SLOT), cell_data=common_data(parts))


def has_volumes(gmap: gorvinpy_bin.GMap3D) -> bool:
    """Whether some live dart is sewn along alpha3 to another."""
    live = np.flatnonzero(_native.live_mask(gmap))
    return bool((_native.links(gmap)[live, 3] != live).any())


@dataclass
class _VolumeBlocks:
    """The volume cell blocks of a mesh as CellFaces, and the block number of each in the mesh."""

    cells: CellFaces
    blocks: List[int]

    def rows(self, arrays: List[Any]) -> np.ndarray:
        """One cell data array's rows for the volume cells, in CellFaces order."""
        return np.concatenate([np.asarray(arrays[b]) for b in self.blocks])


@dataclass
class _SurfaceBlocks:
    """The polygon blocks of a mesh: (m, k) arrays, and the block number of each in the mesh."""

    faces: List[np.ndarray]
    blocks: List[int]

    def rows(self, arrays: List[Any], kept: List[np.ndarray]) -> np.ndarray:
        """One cell data array's rows for the kept faces, in order."""
        return np.concatenate([np.asarray(arrays[b])[k] for b, k in zip(self.blocks, kept)])


def _sorted_blocks(mesh: Any) -> Tuple[_VolumeBlocks, _SurfaceBlocks]:
    volumes = _VolumeBlocks(CellFaces(), [])
    surfaces = _SurfaceBlocks([], [])
    for number, block in enumerate(mesh.cells):
        kind = block.type
        if kind in CELL_FACES:
            volumes.cells.add_cells(kind, block.data)
            volumes.blocks.append(number)
        elif kind.startswith("polyhedron"):
            volumes.cells.add_polyhedra(kind, block.data)
            volumes.blocks.append(number)
        elif kind.startswith(_SURFACE_TYPES):
            surfaces.faces.append(np.asarray(block.data, dtype=np.int64).reshape(len(block.data), -1))
            surfaces.blocks.append(number)
        elif not kind.startswith(_POINT_AND_LINE_TYPES):
            raise VolumeCellError(f"cells of type {kind!r} are not supported (linear cells only)")
    return volumes, surfaces


def _not_on_volumes(blocks: List[np.ndarray], volumes: CellFaces) -> List[np.ndarray]:
    """Per block of faces, which faces have a corner set that is no face of a volume."""
    if not volumes.faces:
        return [np.ones(len(faces), dtype=bool) for faces in blocks]
    table = np.unique(volumes.keys(), axis=0)
    masks = []
    for faces in blocks:
        width = max(table.shape[1], faces.shape[1])
        keys = np.pad(np.sort(faces, axis=1), ((0, 0), (0, width - faces.shape[1])), constant_values=-1)
        known = np.pad(table, ((0, 0), (0, width - table.shape[1])), constant_values=-1)
        ids = np.unique(np.concatenate([known, keys]), axis=0, return_inverse=True)[1].reshape(-1)
        masks.append(~np.isin(ids[len(known):], ids[: len(known)]))
    return masks
