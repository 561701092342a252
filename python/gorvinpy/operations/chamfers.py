"""Cutting off corners and edges of a closed surface, each a compiled Rule3D ready to apply.

Hook any dart of the surface; the whole connected part (orbit <0,1,2,3>) is cut. It must be a
closed surface (no dart free along alpha0, alpha1 or alpha2): `gorvinpy.apply` raises
`RuleInputError` naming a dart that is free otherwise, before any change. Positions are point
rules, computed from the positions before the application.

- `chamfer_vertices(t)`: every vertex becomes a face whose corners lie on its edges at fraction t
  from the vertex; a face of k corners becomes a face of 2k corners (the truncated polyhedron).
- `chamfer_edges(t)`: every edge becomes a face (a bevel) and every vertex a face: each face
  shrinks to a face with one corner per corner, moved from the corner P by fraction t along both of
  its edges (P + t (A - P) + t (B - P), A and B the corner's neighbours in the face). The bevel of
  an edge joins the moved corners of its two faces; the face of a vertex joins the moved corners of
  the faces around it (the topology of Doo-Sabin).
"""

from __future__ import annotations

import gorvinpy_bin

from ..geometry.point_rules import PointRule, position
from .builder import HOOK, rule
from .subdivision import CORNER_FACE_LINKS, CORNER_FACE_NODES, closed_surface
from .surface import CONNECTED_PART


def chamfer_vertices(t: float = 1.0 / 3.0) -> gorvinpy_bin.Rule3D:
    """Cuts every vertex of the hook dart's closed surface off at fraction t (0 < t < 1/2) of its edges."""
    t = _fraction("chamfer_vertices", t)
    cut = (1.0 - t) * position + t * position.at(0)
    nodes = {HOOK: {0: 0, 2: 2, 3: 3}, "cut": {1: 0, 3: 3}, "vertex_face": {1: 0, 2: 1, 3: 3}}
    links = [(1, HOOK, "cut"), (2, "cut", "vertex_face")]
    return rule("chamfer_vertices", CONNECTED_PART, nodes, links, dict.fromkeys(nodes, cut),
                precondition=closed_surface("chamfer_vertices"))


def chamfer_edges(t: float = 0.25) -> gorvinpy_bin.Rule3D:
    """Bevels every edge of the hook dart's closed surface, the faces shrunk by fraction t (0 < t < 1/2)."""
    corner = _moved_corner(_fraction("chamfer_edges", t))
    return rule("chamfer_edges", CONNECTED_PART, CORNER_FACE_NODES, CORNER_FACE_LINKS,
                dict.fromkeys(CORNER_FACE_NODES, corner), precondition=closed_surface("chamfer_edges"))


def _fraction(operation: str, t: float) -> float:
    t = float(t)
    if not 0.0 < t < 0.5:
        raise ValueError(f"{operation}: t must lie strictly between 0 and 1/2, not {t}")
    return t


def _moved_corner(t: float) -> PointRule:
    """The dart's corner moved by fraction t along both of its face's edges there: (1 - 2t) P + t A
    + t B, A the other end of the dart's edge, B that of the corner's other edge."""
    return (1.0 - 2.0 * t) * position + t * position.at(0) + t * position.at(1, 0)
