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

from dataclasses import dataclass
from typing import Any, Callable, Dict, Optional, Sequence, Tuple, Union

import gorvinpy_bin

from .batch import Expression
from .layout import polygon_layout
from .positions import POSITION_NAME, Constant, Point, PointRule, as_point, edge_midpoint, face_centre, position

CATEGORY = "gorvinpy"
HOOK = "n0"
PositionRule = Callable[[gorvinpy_bin.Context3D], Any]

_EDGE = (0, 2, 3)
_FACE = (0, 1)
_CONNECTED_PART = (0, 1, 2, 3)


@dataclass(frozen=True)
class _Node:
    """A right node: what each hook dimension becomes for its implicit links (absent: no link)."""

    name: str
    relabel: Dict[int, int]
    position: Optional[PositionRule] = None


def insert_vertex() -> gorvinpy_bin.Rule3D:
    """Splits the edge of the hook dart at its middle."""
    nodes = [
        _Node(HOOK, {2: 2, 3: 3}),
        _Node("middle", {0: 1, 2: 2, 3: 3}, _at_hook(edge_midpoint)),
    ]
    return _rule("insert_vertex", _EDGE, nodes, [(0, HOOK, "middle")])


def triangulate(orbit: Sequence[int] = _CONNECTED_PART) -> gorvinpy_bin.Rule3D:
    """Barycentric triangulation of every face in the hook dart's orbit (must hold 0, 1 and 3)."""
    _require(orbit, {0, 1, 3}, "triangulate")
    nodes = [
        _Node(HOOK, {0: 0, 2: 2, 3: 3}),
        _Node("corner", {1: 2, 3: 3}, _at_hook(position)),
        _Node("centre", {0: 1, 1: 2, 3: 3}, _at_hook(face_centre)),
    ]
    return _rule("triangulate", orbit, nodes, [(1, HOOK, "corner"), (0, "corner", "centre")])


def extrude(vector: Sequence[float]) -> gorvinpy_bin.Rule3D:
    """Turns the hook dart's face (free along alpha2) into the bottom of a prism with top face + vector."""
    raised = position + as_point(vector)
    nodes = [
        _Node(HOOK, {0: 0, 1: 1}),
        _Node("bottom", {0: 0}, _at_hook(position)),
        _Node("rising", {1: 2}, _at_hook(position)),
        _Node("risen", {1: 2}, _at_hook(raised)),
        _Node("upper", {0: 0}, _at_hook(raised)),
        _Node("top", {0: 0, 1: 1}, _at_hook(raised)),
    ]
    links = [
        (2, HOOK, "bottom"),
        (1, "bottom", "rising"),
        (0, "rising", "risen"),
        (1, "risen", "upper"),
        (2, "upper", "top"),
    ]
    return _rule("extrude", _FACE, nodes, links)


def quad_subdivide() -> gorvinpy_bin.Rule3D:
    """Cuts every face of the hook dart's connected part into one quadrangle per corner."""
    nodes = [
        _Node(HOOK, {1: 1, 2: 2, 3: 3}),
        _Node("edge_middle", {2: 2, 3: 3}, _at_hook(edge_midpoint)),
        _Node("spoke", {0: 2, 3: 3}, _at_hook(edge_midpoint)),
        _Node("centre", {0: 2, 1: 1, 3: 3}, _at_hook(face_centre)),
    ]
    links = [(0, HOOK, "edge_middle"), (1, "edge_middle", "spoke"), (0, "spoke", "centre")]
    return _rule("quad_subdivide", _CONNECTED_PART, nodes, links)


def mesh(
    points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]], name: str = "mesh"
) -> gorvinpy_bin.Rule3D:
    """Builds a polygon mesh from nothing: faces list point indices and are sewn along shared edges."""
    corners = [as_point(point) for point in points]
    layout = polygon_layout(faces, len(corners))
    nodes = [_Node(f"d{dart}", {}, _constant(corners[vertex])) for dart, vertex in enumerate(layout.vertex)]
    links = [(dim, f"d{a}", f"d{b}") for dim, pairs in enumerate(layout.links) for a, b in pairs]
    return _rule(name, (), nodes, links)


def polygon(points: Sequence[Sequence[float]]) -> gorvinpy_bin.Rule3D:
    """Builds one polygon face from nothing, its corners at the given points in order."""
    return mesh(points, [range(len(points))], "polygon")


def cube(size: float = 1.0, centre: Sequence[float] = (0.0, 0.0, 0.0)) -> gorvinpy_bin.Rule3D:
    """Builds the closed surface of an axis-aligned cube from nothing: 6 faces, 8 vertices, 48 darts."""
    half = size / 2.0
    cx, cy, cz = as_point(centre)
    points = [
        (cx + sx * half, cy + sy * half, cz + sz * half) for sz in (-1, 1) for sy in (-1, 1) for sx in (-1, 1)
    ]
    faces = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
    return mesh(points, faces, "cube")


def _rule(
    name: str, hook_orbit: Sequence[int], nodes: Sequence[_Node], links: Sequence[Tuple[int, str, str]]
) -> gorvinpy_bin.Rule3D:
    rule = gorvinpy_bin.Rule3D(name, CATEGORY)
    if hook_orbit:
        rule.make_leftnode(HOOK, list(hook_orbit), True)
    for node in nodes:
        expressions = [gorvinpy_bin.Expr3DEbd123(POSITION_NAME, node.position)] if node.position else []
        rule.make_rightnode(node.name, [node.relabel.get(dim, -1) for dim in hook_orbit], expressions)
    for dim, first, second in links:
        rule.linkRightNodes(dim, rule.rightnode(first), rule.rightnode(second))
    rule.compile()
    return rule


def _at_hook(point_of: Union[PointRule, Callable[[gorvinpy_bin.GMap3D, int], Point]]) -> PositionRule:
    """An expression computing a point from the dart that the row gives to the hook node. A point
    rule (`position`, `face_centre`, `position + vector`, ...) runs natively under gorvinpy.apply;
    another function of (gmap, dart) is called per row."""
    if isinstance(point_of, PointRule):
        return Expression(point_of)

    def expression(context: gorvinpy_bin.Context3D) -> Point:
        return point_of(context.gmap, context.leftpattern[0].id)

    return expression


def _constant(point: Point) -> PositionRule:
    return Expression(Constant(point))


def _require(orbit: Sequence[int], dims: set, operation: str) -> None:
    if not dims <= set(orbit) or not set(orbit) <= {0, 1, 2, 3}:
        raise ValueError(
            f"{operation}: orbit {list(orbit)} must hold {sorted(dims)} and only dimensions 0..3"
        )
