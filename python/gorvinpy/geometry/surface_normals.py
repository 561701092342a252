"""Unit vertex normals of a connected, orientable surface, turned like its smallest dart, for whole
arrays of darts.

The darts of an orientable part fall into two sides: every link joins darts of opposite sides. The
darts on the side of the part's smallest dart each stand for their edge run from their vertex to
the other end (alpha0): the face's direction. A face's normal is Newell's formula over those
directed edges, made unit; a vertex normal is the unit mean of the normals of its faces, every dart
of the vertex counted. The sums run over the part's darts in ascending id order, so the normals of
a dart are the same floats whichever darts of the part ask. (The point rules' `vertex_normal`
turns with each dart's own orientation, so the darts of one vertex see opposite normals; a shell
needs one normal per vertex.)
"""

from __future__ import annotations

import numpy as np

import gorvinpy_bin

from .. import _native
from ..operations.preconditions import RuleInputError


def sides(links: np.ndarray, darts: np.ndarray) -> np.ndarray:
    """0 or 1 for every dart of a part (ascending ids), 0 for its smallest dart, opposite across
    every link; RuleInputError when the part is not orientable."""
    side = np.full(len(links), -1, dtype=np.int8)
    side[darts[0]] = 0
    frontier = darts[:1]
    while len(frontier):
        neighbours = links[frontier, :3]
        values = np.repeat(1 - side[frontier], 3).reshape(-1, 3)
        new = side[neighbours] == -1
        side[neighbours[new]] = values[new]
        frontier = np.unique(neighbours[new])
    own = side[darts]
    for dim in range(3):
        other = links[darts, dim]
        crossed = (other != darts) & (side[other] == own)
        if crossed.any():
            raise RuleInputError(
                f"dart {int(darts[crossed][0])} and its alpha{dim} neighbour lie on one side: the surface of "
                f"dart {int(darts[0])} is not orientable"
            )
    return own


def vertex_normals(gmap: gorvinpy_bin.GMap3D, darts: np.ndarray) -> np.ndarray:
    """(len(darts), 3): the unit vertex normal at each dart of a part given in ascending id order."""
    links = _native.links(gmap)
    forward = sides(links, darts) == 0
    start = _native.positions(gmap, darts)
    end = _native.positions(gmap, links[darts, 0])
    newell = np.stack([
        (start[:, 1] - end[:, 1]) * (start[:, 2] + end[:, 2]),
        (start[:, 2] - end[:, 2]) * (start[:, 0] + end[:, 0]),
        (start[:, 0] - end[:, 0]) * (start[:, 1] + end[:, 1]),
    ], axis=1)
    face = _cells(gmap, darts, [0, 1])
    normals = np.zeros((face.max() + 1, 3))
    np.add.at(normals, face[forward], newell[forward])
    normals = _unit(normals)
    vertex = _cells(gmap, darts, [1, 2, 3])
    sums = np.zeros((vertex.max() + 1, 3))
    np.add.at(sums, vertex, normals[face])
    means = sums / np.bincount(vertex)[:, None]
    return _unit(means)[vertex]


def _unit(vectors: np.ndarray) -> np.ndarray:
    """Each row scaled to length 1; a zero row (a degenerate face or vertex) stays zero."""
    lengths = np.linalg.norm(vectors, axis=1, keepdims=True)
    return np.divide(vectors, lengths, out=np.zeros_like(vectors), where=lengths > 0)


def _cells(gmap: gorvinpy_bin.GMap3D, darts: np.ndarray, orbit: list) -> np.ndarray:
    """Each dart's cell of the orbit, numbered 0, 1, ... over the part."""
    return np.unique(np.asarray(_native.cell_labels(gmap, orbit))[darts], return_inverse=True)[1].reshape(-1)
