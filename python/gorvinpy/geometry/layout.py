"""The darts of a polygon mesh, before they exist in a G-map.

A face with corners v0 .. vk-1 gets 2k darts: dart 2i lies at vi and dart 2i+1 at vi+1, both on the
edge (vi, vi+1). alpha0 joins the two darts of an edge, alpha1 the two darts of a corner, and alpha2
joins the darts of two faces that share an edge, dart to dart at the same vertex. An edge used by
more than two faces is sewn for its first two and left free along alpha2 for the others. The
layout itself is computed by the compiled companion module.
"""

from __future__ import annotations

from typing import Any, List, Tuple

import numpy as np

from .. import _native
from .polygons import face_arrays

Pair = Tuple[int, int]


class DartLayout:
    """Darts numbered from 0: the vertex of each dart, and its links as an (n, 4) table of block
    ids (a free dart links to itself; alpha3 is always free)."""

    def __init__(self, vertex: np.ndarray, table: np.ndarray):
        self.vertex = vertex
        self.table = table

    def __len__(self) -> int:
        return len(self.vertex)

    @property
    def links(self) -> Tuple[List[Pair], List[Pair], List[Pair]]:
        """The pairs linked along alpha0, alpha1 and alpha2: alpha0 and alpha1 from the first dart
        of each edge and corner, alpha2 in the order the second face of each edge came."""
        darts = np.arange(len(self), dtype=np.int64)
        table = self.table.astype(np.int64)
        even, odd = darts[0::2], darts[1::2]
        sewn = np.flatnonzero(table[:, 2] < darts)  # the later dart of each alpha2 pair
        earlier = table[sewn, 2]
        order = np.lexsort((earlier % 2, sewn // 2))
        return (
            list(zip(even.tolist(), table[even, 0].tolist())),
            list(zip(odd.tolist(), table[odd, 1].tolist())),
            list(zip(earlier[order].tolist(), sewn[order].tolist())),
        )


def polygon_layout(faces: Any, vertex_count: int) -> DartLayout:
    """Lays out the darts of faces given as lists of vertex indices, sewn along shared edges.

    Raises ValueError for a face with fewer than 3 corners or an index not below vertex_count.
    """
    return DartLayout(*_native.polygon_layout(*face_arrays(faces), vertex_count))
