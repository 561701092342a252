"""Standard modelling operations, each a compiled Rule3D ready to apply.

Rules that build from nothing (`polygon`, `cube`, `mesh`) have no left node: apply them with
`gorvinpy.apply(gmap, rule)`. The others have one hook node, named "n0": apply them with
`gorvinpy.apply(gmap, rule, [dart])`. Their positions are point rules (`gorvinpy.positions`), which
`gorvinpy.apply` evaluates natively for all rows at once; `gmap.apply` gives the same G-map, one
Python call per row. They act on the whole orbit of that dart given below, and every dart they
create gets its own position, computed from the positions of the G-map before the application:

- `insert_vertex()`: the edge of the dart (orbit <0,2,3>) gets a vertex in its middle;
- `triangulate(orbit)`: every face in the orbit of the dart gets a vertex at its centre, joined to
  its corners; orbit (0, 1, 3) is the dart's face, (0, 1, 2, 3) every face of its connected part;
- `extrude(vector)`: the face of the dart (orbit <0,1>, free along alpha2) becomes the bottom of a
  closed prism whose top is the face moved by vector;
- `quad_subdivide()`: every face of the dart's connected part (orbit <0,1,2,3>) is cut into
  quadrangles joining each corner, the middles of its two edges and the face centre.
"""

from __future__ import annotations

from typing import Sequence

import gorvinpy_bin

from ..geometry.layout import polygon_layout
from ..geometry.point_rules import Constant, edge_midpoint, face_centre, position
from ..geometry.positions import as_point
from .builder import HOOK, rule

_EDGE = (0, 2, 3)
_FACE = (0, 1)
CONNECTED_PART = (0, 1, 2, 3)


def insert_vertex() -> gorvinpy_bin.Rule3D:
    """Splits the edge of the hook dart at its middle."""
    nodes = {HOOK: {2: 2, 3: 3}, "middle": {0: 1, 2: 2, 3: 3}}
    return rule("insert_vertex", _EDGE, nodes, [(0, HOOK, "middle")], {"middle": edge_midpoint})


def triangulate(orbit: Sequence[int] = CONNECTED_PART) -> gorvinpy_bin.Rule3D:
    """Barycentric triangulation of every face in the hook dart's orbit (must hold 0, 1 and 3)."""
    _require(orbit, {0, 1, 3}, "triangulate")
    nodes = {HOOK: {0: 0, 2: 2, 3: 3}, "corner": {1: 2, 3: 3}, "centre": {0: 1, 1: 2, 3: 3}}
    links = [(1, HOOK, "corner"), (0, "corner", "centre")]
    return rule("triangulate", orbit, nodes, links, {"corner": position, "centre": face_centre})


def extrude(vector: Sequence[float]) -> gorvinpy_bin.Rule3D:
    """Turns the hook dart's face (free along alpha2) into the bottom of a prism with top face + vector."""
    raised = position + as_point(vector)
    nodes = {
        HOOK: {0: 0, 1: 1},
        "bottom": {0: 0},
        "rising": {1: 2},
        "risen": {1: 2},
        "upper": {0: 0},
        "top": {0: 0, 1: 1},
    }
    positions = {"bottom": position, "rising": position, "risen": raised, "upper": raised, "top": raised}
    links = [
        (2, HOOK, "bottom"),
        (1, "bottom", "rising"),
        (0, "rising", "risen"),
        (1, "risen", "upper"),
        (2, "upper", "top"),
    ]
    return rule("extrude", _FACE, nodes, links, positions)


# One quadrangle per corner: the corner (the kept dart), its edge's middle, the spoke to the centre.
QUAD_NODES = {
    HOOK: {1: 1, 2: 2, 3: 3},
    "edge_middle": {2: 2, 3: 3},
    "spoke": {0: 2, 3: 3},
    "centre": {0: 2, 1: 1, 3: 3},
}
QUAD_LINKS = [(0, HOOK, "edge_middle"), (1, "edge_middle", "spoke"), (0, "spoke", "centre")]


def quad_subdivide() -> gorvinpy_bin.Rule3D:
    """Cuts every face of the hook dart's connected part into one quadrangle per corner."""
    positions = {"edge_middle": edge_midpoint, "spoke": edge_midpoint, "centre": face_centre}
    return rule("quad_subdivide", CONNECTED_PART, QUAD_NODES, QUAD_LINKS, positions)


def mesh(points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]], name: str = "mesh") -> gorvinpy_bin.Rule3D:
    """Builds a polygon mesh from nothing: faces list point indices and are sewn along shared edges."""
    corners = [as_point(point) for point in points]
    layout = polygon_layout(faces, len(corners))
    nodes = {f"d{dart}": () for dart in range(len(layout.vertex))}
    positions = {f"d{dart}": Constant(corners[vertex]) for dart, vertex in enumerate(layout.vertex)}
    links = [(dim, f"d{a}", f"d{b}") for dim, pairs in enumerate(layout.links) for a, b in pairs]
    return rule(name, (), nodes, links, positions)


def polygon(points: Sequence[Sequence[float]]) -> gorvinpy_bin.Rule3D:
    """Builds one polygon face from nothing, its corners at the given points in order."""
    return mesh(points, [range(len(points))], "polygon")


def cube(size: float = 1.0, centre: Sequence[float] = (0.0, 0.0, 0.0)) -> gorvinpy_bin.Rule3D:
    """Builds the closed surface of an axis-aligned cube from nothing: 6 faces, 8 vertices, 48 darts."""
    half = size / 2.0
    cx, cy, cz = as_point(centre)
    points = [(cx + sx * half, cy + sy * half, cz + sz * half) for sz in (-1, 1) for sy in (-1, 1) for sx in (-1, 1)]
    faces = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
    return mesh(points, faces, "cube")


def _require(orbit: Sequence[int], dims: set, operation: str) -> None:
    if not dims <= set(orbit) or not set(orbit) <= {0, 1, 2, 3}:
        raise ValueError(f"{operation}: orbit {list(orbit)} must hold {sorted(dims)} and only dimensions 0..3")
