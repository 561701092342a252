"""Rules written as data: `rule(name, hook_orbit, nodes, links, ...)` makes a compiled Rule3D.

A rule rewrites the darts matched around a hook. Its left side is the hook node "n0" with its
orbit (`hook_orbit`) and, when given, more left nodes (`left`) reached from it by explicit left
links (`left_links`). Its right side is `nodes`: each right node's orbit labels, one per hook orbit
entry (-1 or None: no link there), or a mapping {hook dimension: new dimension} with the dimensions
it leaves out unlinked (and those the hook orbit lacks ignored, so one mapping serves several
hook orbits). A right node named like a left node keeps that node's darts; a right node
of a new name creates one dart per row; a left node no right node names is deleted. `links` are the
explicit right links (dim, a, b) inside one row; a link of a node to itself frees that dimension.

`precondition(gmap, hooks)` states what the rule needs of the place it is applied at (all
triangles, an interior edge, ...): `gorvinpy.apply` calls it before any change, and it raises
`RuleInputError` naming the dart that does not fit.

Values of the new G-map: `positions` gives a node a point rule (`face_centre`, `0.5 * a + 0.5 * b`,
...; run natively by `gorvinpy.apply`) or an expression callable of a Context3D, stored under
"position"; `expressions` gives a node a list of Expression3D objects of any slot.

    split = rule("split edge", (0, 2, 3),
                 nodes={"n0": [-1, 2, 3], "mid": [1, 2, 3]},
                 links=[(0, "n0", "mid")],
                 positions={"mid": edge_midpoint})
"""

from __future__ import annotations

from typing import Any, Callable, Dict, Iterable, Mapping, Optional, Sequence, Tuple, Union

import gorvinpy_bin

from ..geometry.point_rules import PointRule
from ..geometry.positions import POSITION_NAME
from .batch import Expression
from .preconditions import Precondition, set_precondition

CATEGORY = "gorvinpy"
HOOK = "n0"

Labels = Union[Sequence[Optional[int]], Mapping[int, int]]
Link = Tuple[int, str, str]
PositionOf = Union[PointRule, Callable[[gorvinpy_bin.Context3D], Any]]


def rule(
    name: str,
    hook_orbit: Optional[Sequence[int]],
    nodes: Mapping[str, Labels],
    links: Iterable[Link] = (),
    positions: Optional[Mapping[str, PositionOf]] = None,
    expressions: Optional[Mapping[str, Sequence[gorvinpy_bin.Expression3D]]] = None,
    *,
    left: Optional[Mapping[str, Labels]] = None,
    left_links: Iterable[Link] = (),
    hooks: Sequence[str] = (HOOK,),
    category: str = CATEGORY,
    precondition: Optional[Precondition] = None,
) -> gorvinpy_bin.Rule3D:
    """A compiled Rule3D. `hook_orbit` empty or None: a rule with no left node, which builds from
    nothing, unless `left` names left nodes: then one row at the hook, its left nodes reached by
    `left_links`. Point rules in `positions` are read at the dart of left node 0, the hook."""
    orbit = [int(dim) for dim in hook_orbit or ()]
    positions = dict(positions or {})
    expressions = dict(expressions or {})
    right_names = set(nodes)
    for kind, named in (("positions", positions), ("expressions", expressions)):
        unknown = sorted(set(named) - right_names)
        if unknown:
            raise ValueError(f"rule {name!r}: {kind} name no right node: {unknown}")

    built = gorvinpy_bin.Rule3D(name, category)
    left_nodes: Dict[str, Labels] = {}
    if orbit or left:
        if HOOK in (left or {}):
            raise ValueError(f"rule {name!r}: the hook node {HOOK!r} takes its orbit from hook_orbit")
        left_nodes[HOOK] = orbit
        left_nodes.update(left or {})
    for node, labels in left_nodes.items():
        built.make_leftnode(node, _labels(name, node, labels, orbit), node in hooks)
    left_side = {node.name: node for node in built.leftnodes}
    for dim, a, b in left_links:
        built.linkLeftNodes(int(dim), _node(name, left_side, a), _node(name, left_side, b))
    for node, labels in nodes.items():
        values = list(expressions.get(node, ()))
        if node in positions:
            values.append(gorvinpy_bin.Expr3DEbd123(POSITION_NAME, _position_expression(positions[node])))
        built.make_rightnode(node, _labels(name, node, labels, orbit), values)
    right_side = {node.name: node for node in built.rightnodes}
    for dim, a, b in links:
        built.linkRightNodes(int(dim), _node(name, right_side, a), _node(name, right_side, b))
    built.compile()
    if precondition is not None:
        set_precondition(built, precondition)
    return built


def _labels(rule_name: str, node: str, labels: Labels, orbit: Sequence[int]) -> list:
    if isinstance(labels, Mapping):
        unknown = sorted(set(labels) - {0, 1, 2, 3})
        if unknown:
            raise ValueError(f"rule {rule_name!r}: node {node!r} relabels {unknown}, not dimensions 0..3")
        return [int(labels.get(dim, -1)) for dim in orbit]
    out = [-1 if label is None else int(label) for label in labels]
    if len(out) != len(orbit):
        raise ValueError(
            f"rule {rule_name!r}: node {node!r} has {len(out)} orbit labels for a hook orbit of {len(orbit)}"
        )
    return out


def _node(rule_name: str, side: Mapping[str, Any], name: str) -> Any:
    if name not in side:
        raise ValueError(f"rule {rule_name!r}: a link names {name!r}, not a node of its side")
    return side[name]


def _position_expression(value: PositionOf) -> Callable[[gorvinpy_bin.Context3D], Any]:
    if isinstance(value, PointRule):
        return Expression(value)
    if callable(value):
        return value
    raise TypeError(f"a position is a PointRule or an expression callable, not {type(value).__name__}")
