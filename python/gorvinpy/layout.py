"""The darts of a polygon mesh, before they exist in a G-map.

A face with corners v0 .. vk-1 gets 2k darts: dart 2i lies at vi and dart 2i+1 at vi+1, both on the
edge (vi, vi+1). alpha0 joins the two darts of an edge, alpha1 the two darts of a corner, and alpha2
joins the darts of two faces that share an edge, dart to dart at the same vertex. An edge used by
more than two faces is sewn for its first two and left free along alpha2 for the others.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Dict, List, Sequence, Tuple

Pair = Tuple[int, int]


@dataclass
class DartLayout:
    """Darts numbered from 0: the vertex of each dart and the dart pairs linked along alpha0..alpha2."""

    vertex: List[int] = field(default_factory=list)
    links: Tuple[List[Pair], List[Pair], List[Pair]] = field(default_factory=lambda: ([], [], []))

    def __len__(self) -> int:
        return len(self.vertex)


def polygon_layout(faces: Sequence[Sequence[int]], vertex_count: int) -> DartLayout:
    """Lays out the darts of faces given as lists of vertex indices, sewn along shared edges.

    Raises ValueError for a face with fewer than 3 corners or an index not below vertex_count.
    """
    for face in faces:
        if len(face) < 3 or not all(0 <= index < vertex_count for index in face):
            raise ValueError(f"face {list(face)} needs 3 or more vertex indices below {vertex_count}")
    layout = DartLayout()
    alpha0, alpha1, alpha2 = layout.links
    open_sides: Dict[Pair, Pair] = {}
    sewn_sides = set()
    for face in faces:
        first = len(layout.vertex)
        corners = len(face)
        for i, start in enumerate(face):
            end = face[(i + 1) % corners]
            side = (first + 2 * i, first + 2 * i + 1)
            layout.vertex.extend((start, end))
            alpha0.append(side)
            alpha1.append((side[1], first + 2 * ((i + 1) % corners)))
            key = (min(start, end), max(start, end))
            other = open_sides.pop(key, None)
            if other is not None:
                same_way = layout.vertex[other[0]] == start
                alpha2.append((other[0], side[0] if same_way else side[1]))
                alpha2.append((other[1], side[1] if same_way else side[0]))
                sewn_sides.add(key)
            elif key not in sewn_sides:
                open_sides[key] = side
    return layout
