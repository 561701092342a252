"""Polygons held as flat arrays (face f: corners[offsets[f]:offsets[f + 1]]) in the shapes other
mesh libraries use: blocks of faces with as many corners, fans of triangles, VTK's flat cell list."""

from __future__ import annotations

from itertools import chain
from typing import Any, List, Sequence, Tuple

import numpy as np


def point_array(points: Any) -> np.ndarray:
    """Points as an (n, 3) float64 array; ValueError unless each is three numbers."""
    array = np.asarray(points, dtype=np.float64)
    if array.size == 0:
        return np.zeros((0, 3))
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"points must be (x, y, z) triples, got an array of shape {array.shape}")
    return np.ascontiguousarray(array)


def face_arrays(faces: Any) -> Tuple[np.ndarray, np.ndarray]:
    """Faces (sequences of point indices, or an (m, k) array) as flat corners and offsets."""
    if isinstance(faces, np.ndarray) and faces.ndim == 2:
        table = np.ascontiguousarray(faces, dtype=np.int64).reshape(-1)
        return table, np.arange(0, table.size + 1, max(faces.shape[1], 1), dtype=np.int64)
    if not hasattr(faces, "__len__"):
        faces = list(faces)
    sizes = np.fromiter(map(len, faces), dtype=np.int64, count=len(faces))
    offsets = np.zeros(len(sizes) + 1, dtype=np.int64)
    np.cumsum(sizes, out=offsets[1:])
    corners = np.fromiter(chain.from_iterable(faces), dtype=np.int64, count=int(offsets[-1]))
    return corners, offsets


def from_blocks(blocks: Sequence[np.ndarray]) -> Tuple[np.ndarray, np.ndarray]:
    """Corners and offsets of (m, k) arrays of faces, one block after another."""
    sizes = [np.full(len(block), block.shape[1], dtype=np.int64) for block in blocks]
    offsets = np.zeros(sum(map(len, sizes)) + 1, dtype=np.int64)
    if sizes:
        np.cumsum(np.concatenate(sizes), out=offsets[1:])
    flat = [np.asarray(block, dtype=np.int64).reshape(-1) for block in blocks]
    corners = np.concatenate(flat) if flat else np.zeros(0, dtype=np.int64)
    return corners, offsets


def blocks_by_size(corners: np.ndarray, offsets: np.ndarray) -> List[Tuple[np.ndarray, np.ndarray]]:
    """(face numbers, (m, k) corners) for each corner count k, by increasing k, faces in order."""
    sizes = np.diff(offsets)
    blocks = []
    for k in np.unique(sizes):
        faces = np.flatnonzero(sizes == k)
        blocks.append((faces, corners[offsets[faces][:, None] + np.arange(k)]))
    return blocks


def fan_triangles(corners: np.ndarray, offsets: np.ndarray) -> Tuple[np.ndarray, np.ndarray]:
    """Each face cut into the triangles (c0, ci, ci+1) of a fan: (t, 3) corners and the face of each."""
    counts = np.maximum(np.diff(offsets) - 2, 0)
    face = np.repeat(np.arange(len(counts)), counts)
    step = np.arange(len(face)) - np.repeat(np.cumsum(counts) - counts, counts)
    first = offsets[face]
    triangles = np.stack([corners[first], corners[first + step + 1], corners[first + step + 2]], axis=1)
    return triangles.reshape(-1, 3), face


def vtk_cells(corners: np.ndarray, offsets: np.ndarray) -> np.ndarray:
    """VTK's flat cell list: each face's corner count followed by its corners."""
    sizes = np.diff(offsets)
    flat = np.empty(len(corners) + len(sizes), dtype=np.int64)
    heads = offsets[:-1] + np.arange(len(sizes))
    flat[heads] = sizes
    body = np.ones(len(flat), dtype=bool)
    body[heads] = False
    flat[body] = corners
    return flat
