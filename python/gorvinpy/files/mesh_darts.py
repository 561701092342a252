"""Polygon meshes in and out of G-maps, in memory.

Adding lays each face out as an alpha0/alpha1 cycle of darts, sews faces by alpha2 along shared
edges and stores each dart's point as its position. Reading numbers the vertices and faces as
`extractGeometryCompacted3D` does, reads a position per vertex and turns the faces of each
connected part the same way round, outwards for a closed surface. Both work on whole arrays
through the compiled companion module.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.polygons import face_arrays, point_array
from ..geometry.positions import positions
from .polygon_files import PolygonMesh


def add_mesh(gmap: gorvinpy_bin.GMap3D, points: Any, faces: Any) -> range:
    """Adds the faces of a polygon mesh to a G-map and returns the ids of the new darts.

    points: (x, y, z) triples or an (n, 3) array; faces: sequences of point indices or an (m, k)
    array. Points that no face uses make no dart. Each face needs at least three point indices.
    """
    coordinates = point_array(points)
    return add_polygon_darts(gmap, coordinates, *face_arrays(faces))[0]


def add_polygon_darts(
    gmap: gorvinpy_bin.GMap3D, coordinates: np.ndarray, corners: np.ndarray, offsets: np.ndarray
) -> Tuple[range, np.ndarray]:
    """Adds the faces (corners, offsets) over the points; returns the new darts and the point of each."""
    first, vertex = _native.add_polygons(gmap, corners, offsets, coordinates)
    return range(first, first + len(vertex)), vertex


def to_mesh(gmap: gorvinpy_bin.GMap3D) -> PolygonMesh:
    """The vertices (their positions) and faces of a G-map, faces turned consistently per connected part."""
    return _mesh_and_points(gmap)[0]


@dataclass(frozen=True)
class Surface:
    """The polygon mesh of a G-map, with a dart of each of its points and of each of its faces."""

    mesh: PolygonMesh
    point_darts: np.ndarray
    face_darts: np.ndarray


def surface(gmap: gorvinpy_bin.GMap3D) -> Surface:
    """to_mesh's mesh, and the smallest dart of each point (vertex) and of each face (<0,1,3>)."""
    mesh, point_darts = _mesh_and_points(gmap)
    live = _native.live_mask(gmap)
    faces = np.unique(np.asarray(_native.cell_labels(gmap, [0, 1, 3]))[live])  # in mesh_faces' order
    return Surface(mesh, np.asarray(point_darts, dtype=np.int64), faces.astype(np.int64))


def _mesh_and_points(gmap: gorvinpy_bin.GMap3D):
    representatives, corners, offsets, parts = _native.mesh_faces(gmap)
    coordinates = positions(gmap, representatives)
    inward = _signed_volumes(coordinates, corners, offsets, parts) < 0
    return PolygonMesh.from_arrays(coordinates, _turned(corners, offsets, inward), offsets), representatives


def _face_of_corner(offsets: np.ndarray) -> np.ndarray:
    return np.repeat(np.arange(len(offsets) - 1), np.diff(offsets))


def _signed_volumes(
    coordinates: np.ndarray, corners: np.ndarray, offsets: np.ndarray, parts: np.ndarray
) -> np.ndarray:
    """Per face, six times the volume enclosed by the faces of its part (positive when they turn
    anticlockwise seen from outside), summed over the fan triangles of each face in order."""
    face = _face_of_corner(offsets)
    rank = np.arange(len(corners)) - offsets[face]
    fan = np.flatnonzero((rank >= 1) & (rank <= np.diff(offsets)[face] - 2))
    a = coordinates[corners[offsets[face[fan]]]].T
    b = coordinates[corners[fan]].T
    c = coordinates[corners[fan + 1]].T
    volume = (
        a[0] * (b[1] * c[2] - b[2] * c[1])
        - a[1] * (b[0] * c[2] - b[2] * c[0])
        + a[2] * (b[0] * c[1] - b[1] * c[0])
    )
    labels, part = np.unique(parts, return_inverse=True)
    totals = np.bincount(part[face[fan]], weights=volume, minlength=len(labels))
    return totals[part]


def _turned(corners: np.ndarray, offsets: np.ndarray, turn: np.ndarray) -> np.ndarray:
    """The corners with each face f where turn[f] reversed after its first corner."""
    face = _face_of_corner(offsets)
    index = np.arange(len(corners))
    rank = index - offsets[face]
    source = np.where(turn[face] & (rank > 0), offsets[face + 1] - rank, index)
    return corners[source]
