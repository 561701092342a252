"""Subdivision schemes and the dual of the hook dart's connected part (orbit <0,1,2,3>), each a
compiled Rule3D whose positions are point rules computed from the G-map before the application:

- `catmull_clark()`: any polygon faces; each corner becomes a quadrangle (the topology of
  `quad_subdivide`). Face point: the face centre. Edge point: the mean of the edge's ends and of its
  two face points (on a boundary, the edge middle). Vertex point: (F + 2R + (n - 3) P) / n, F the mean
  of the adjacent face points, R of the incident edge middles, n the number of incident edges (on a
  boundary, 3/4 P + 1/8 of each of its two boundary neighbours).
- `loop_subdivide()`: triangles, each cut into four. Edge point: 3/8 of each end and 1/8 of each
  opposite corner (on a boundary, the middle). Vertex point: (1 - n b) P + b (sum of its n
  neighbours), b = (5/8 - (3/8 + cos(2 pi / n) / 4)^2) / n (on a boundary, as Catmull-Clark's).
- `doo_sabin()`: closed surfaces; every face shrinks to the means of each corner, the face centre
  and the middles of the corner's two edges, and new faces fill each edge (quadrangles) and each
  vertex (one corner per incident face).
- `dual()`: closed surfaces; a vertex at each face centre, alpha0 and alpha2 exchanging roles.

Each refuses (RuleInputError naming the dart) a part it does not apply to, before any change.
"""

from __future__ import annotations

import math
from typing import Sequence

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.point_rules import edge_midpoint, face_centre, is_free, mean, position, weight, where
from .builder import HOOK, rule
from .preconditions import RuleInputError
from .surface import CONNECTED_PART, QUAD_LINKS, QUAD_NODES

# Every face shrunk to one corner per corner, with a face for every edge and every vertex between
# them (the topology of Doo-Sabin and of chamfer_edges): per dart, its corner of the shrunk face,
# of the edge's face and of the vertex's face.
CORNER_FACE_NODES = {
    HOOK: {0: 0, 1: 1, 3: 3},
    "edge_side": {0: 0, 3: 3},
    "edge_end": {2: 0, 3: 3},
    "vertex_face": {2: 0, 1: 1, 3: 3},
}
CORNER_FACE_LINKS = [(2, HOOK, "edge_side"), (1, "edge_side", "edge_end"), (2, "edge_end", "vertex_face")]
_VERTEX = (1, 2)
_EDGE = (0, 2)


def _valence(size: int) -> float:
    """Edges at a surface vertex of `size` darts (orbit <1,2>)."""
    return size / 2


def _boundary_vertex():
    """3/4 of the vertex and 1/8 of each of its two neighbours along the boundary."""
    return 0.75 * position + 0.25 * mean(position.at(0), _VERTEX, free=2)


def _on_boundary_vertex(interior):
    return where(is_free(2, _VERTEX), _boundary_vertex(), interior)


def _on_boundary_edge(interior):
    return where(is_free(2), edge_midpoint, interior)


def catmull_clark() -> gorvinpy_bin.Rule3D:
    """Catmull-Clark subdivision of the hook dart's connected part."""
    edge_point = _on_boundary_edge(0.5 * edge_midpoint + 0.5 * mean(face_centre, _EDGE))
    interior = (
        weight(lambda s: 1 / _valence(s), _VERTEX) * mean(face_centre, _VERTEX)
        + weight(lambda s: 2 / _valence(s), _VERTEX) * mean(edge_midpoint, _VERTEX)
        + weight(lambda s: (_valence(s) - 3) / _valence(s), _VERTEX) * position
    )
    positions = {HOOK: _on_boundary_vertex(interior), "edge_middle": edge_point, "spoke": edge_point,
                 "centre": face_centre}
    return rule("catmull_clark", CONNECTED_PART, QUAD_NODES, QUAD_LINKS, positions,
                precondition=_closed_faces("catmull_clark"))


def loop_beta(n: float) -> float:
    """Loop's vertex weight b for a vertex of n neighbours."""
    return (5 / 8 - (3 / 8 + math.cos(2 * math.pi / n) / 4) ** 2) / n


def loop_subdivide() -> gorvinpy_bin.Rule3D:
    """Loop subdivision of the hook dart's connected part, all triangles."""
    opposite_corners = mean(position.at(1, 0), _EDGE)
    edge_point = _on_boundary_edge(0.75 * edge_midpoint + 0.25 * opposite_corners)
    interior = (
        weight(lambda s: 1 - _valence(s) * loop_beta(_valence(s)), _VERTEX) * position
        + weight(lambda s: _valence(s) * loop_beta(_valence(s)), _VERTEX) * mean(position.at(0), _VERTEX)
    )
    nodes = {HOOK: {1: 1, 2: 2, 3: 3}, "middle": {2: 2, 3: 3}, "corner_cut": {1: 0, 3: 3},
             "inner": {0: 1, 1: 0, 3: 3}}
    links = [(0, HOOK, "middle"), (1, "middle", "corner_cut"), (2, "corner_cut", "inner")]
    positions = {HOOK: _on_boundary_vertex(interior), "middle": edge_point, "corner_cut": edge_point,
                 "inner": edge_point}
    return rule("loop_subdivide", CONNECTED_PART, nodes, links, positions,
                precondition=_closed_faces("loop_subdivide", corners=3))


def doo_sabin() -> gorvinpy_bin.Rule3D:
    """Doo-Sabin subdivision of the hook dart's connected part, a closed surface."""
    corner = mean(0.25 * position + 0.25 * face_centre + 0.5 * edge_midpoint, (1,))
    positions = {name: corner for name in CORNER_FACE_NODES}
    return rule("doo_sabin", CONNECTED_PART, CORNER_FACE_NODES, CORNER_FACE_LINKS, positions,
                precondition=closed_surface("doo_sabin"))


def dual() -> gorvinpy_bin.Rule3D:
    """The dual of the hook dart's connected part, a closed surface: faces become vertices."""
    return rule("dual", CONNECTED_PART, {HOOK: {0: 2, 1: 1, 2: 0, 3: 3}}, positions={HOOK: face_centre},
                precondition=closed_surface("dual"))


def part_darts(gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> np.ndarray:
    """The live darts of the hook dart's connected part, ascending (empty for no such dart)."""
    if not hooks or not 0 <= int(hooks[0]) < len(gmap) or not _native.live_mask(gmap)[int(hooks[0])]:
        return np.zeros(0, dtype=np.int64)  # the application names the missing dart
    labels = _native.cell_labels(gmap, list(CONNECTED_PART))
    return np.flatnonzero(labels == labels[int(hooks[0])])


def _closed_faces(operation: str, corners: int = 0, closed: bool = False):
    """The part is a surface (free along alpha3) whose faces are closed polygons (of `corners`
    corners when given), and with `closed` a surface without boundary (no dart free along alpha2).
    Each fault names the smallest dart of the part that shows it; the part is walked once."""

    def check(gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> None:
        if not hooks or not 0 <= int(hooks[0]) < len(gmap) or not gmap.exists(int(hooks[0])):
            return  # the application names the missing dart
        free0, free1, sewn3, free2, face, face_corners = _native.surface_faults(gmap, int(hooks[0]), corners,
                                                                                  closed)
        faults = [(free0, "is free along alpha0: its face is open"),
                  (free1, "is free along alpha1: its face is open"),
                  (sewn3, "is sewn along alpha3: the part is a volume mesh, not a surface"),
                  (face, f"lies on a face of {face_corners} corners, not {corners}"),
                  (free2, "is free along alpha2: the surface is open (a boundary)")]
        for dart, what in faults:
            if dart >= 0:
                raise RuleInputError(f"{operation}: dart {dart} {what}")

    return check


def closed_surface(operation: str):
    """The part is a closed surface: no dart free along alpha0, alpha1 or alpha2."""
    return _closed_faces(operation, closed=True)
