"""Cutting off corners and edges of a closed surface, each a compiled Rule3D ready to apply.

Hook any dart of the surface; the whole connected part (orbit <0,1,2,3>) is cut. Every dart of it
must be sewn along alpha2 (a closed surface): `gorvinpy.apply` raises `RuleInputError` naming a
boundary dart otherwise, before any change.

- `chamfer_vertices(t)`: every vertex becomes a face whose corners lie on its edges at fraction t
  from the vertex; a face of k corners becomes a face of 2k corners (the truncated polyhedron).
- `chamfer_edges(t)`: every edge becomes a face (a bevel) and every vertex a face: each face
  shrinks to a face with one corner per corner, moved from the corner by fraction t along both of
  its edges (P + t (A - P) + t (B - P), A and B the corner's neighbours in the face). The bevel of
  an edge joins the moved corners of its two faces; the face of a vertex joins the moved corners of
  the faces around it.
"""

from __future__ import annotations

import numpy as np

import gorvinpy_bin

from . import _native
from .batch import BatchExpression, Rows
from .builder import HOOK, rule
from .positions import PointRule, edge_midpoint, position
from .preconditions import RuleInputError
from .surface_normals import neighbours

_CONNECTED_PART = (0, 1, 2, 3)


def chamfer_vertices(t: float = 1.0 / 3.0) -> gorvinpy_bin.Rule3D:
    """Cuts every vertex of the hook dart's closed surface off at fraction t (0 < t < 1/2) of its edges."""
    t = _fraction("chamfer_vertices", t)
    cut = _along_edge(t)
    nodes = {HOOK: {0: 0, 2: 2, 3: 3}, "cut": {1: 0, 3: 3}, "vertex_face": {1: 0, 2: 1, 3: 3}}
    links = [(1, HOOK, "cut"), (2, "cut", "vertex_face")]
    positions = dict.fromkeys(nodes, cut)
    return rule("chamfer_vertices", _CONNECTED_PART, nodes, links, positions, precondition=_closed_surface)


def chamfer_edges(t: float = 0.25) -> gorvinpy_bin.Rule3D:
    """Bevels every edge of the hook dart's closed surface, the faces shrunk by fraction t (0 < t < 1/2)."""
    t = _fraction("chamfer_edges", t)
    corner = _moved_corner(t)
    nodes = {
        HOOK: {0: 0, 1: 1, 3: 3},
        "bevel_side": {0: 0, 3: 3},
        "bevel_end": {2: 0, 3: 3},
        "vertex_face": {1: 1, 2: 0, 3: 3},
    }
    links = [(2, HOOK, "bevel_side"), (1, "bevel_side", "bevel_end"), (2, "bevel_end", "vertex_face")]
    positions = dict.fromkeys(nodes, corner)
    return rule("chamfer_edges", _CONNECTED_PART, nodes, links, positions, precondition=_closed_surface)


def _fraction(operation: str, t: float) -> float:
    t = float(t)
    if not 0.0 < t < 0.5:
        raise ValueError(f"{operation}: t must lie strictly between 0 and 1/2, not {t}")
    return t


def _along_edge(t: float) -> PointRule:
    """The point of the dart's edge at fraction t from the dart's vertex."""
    return (1.0 - 2.0 * t) * position + (2.0 * t) * edge_midpoint


def _moved_corner(t: float) -> BatchExpression:
    """The dart's corner P moved by fraction t along both of its face's edges there:
    (1 - 2t) P + t A + t B, A the other end of the dart's edge, B that of the corner's other edge."""

    def moved(rows: Rows) -> np.ndarray:
        corner = rows.darts(0)
        along = neighbours(rows.gmap, corner, 0)
        across = neighbours(rows.gmap, neighbours(rows.gmap, corner, 1), 0)
        points = _native.positions(rows.gmap, np.stack([corner, along, across]).reshape(-1)).reshape(3, -1, 3)
        return (1.0 - 2.0 * t) * points[0] + t * points[1] + t * points[2]

    return BatchExpression(moved)


def _closed_surface(gmap: gorvinpy_bin.GMap3D, hooks) -> None:
    darts = np.fromiter(gorvinpy_bin.Orbit(list(_CONNECTED_PART))(gmap, hooks[0]), dtype=np.int64)
    free = darts[_native.links(gmap)[darts, 2] == darts]
    if len(free):
        raise RuleInputError(
            f"dart {int(free.min())} is free along alpha2: the surface of dart {hooks[0]} must be closed"
        )
