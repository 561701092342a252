"""`check_rule(rule)`: whether every application of a rule to a valid G-map gives a valid G-map.

An application's link steps are two-dart links (the partners they replace become free) and deleted
darts free the partners that linked to them, so each alpha_i stays an involution; what a rule can
break is alpha_i alpha_j being an involution for (0, 2), (0, 3) and (1, 3) (the conditions of
`rule_conditions`), and the positions of the darts it creates. The check tries the rule at every
dart, up to symmetry, of a family of small G-maps (`witness_maps`: free darts, edges, open and closed
surfaces, sewn volumes). A fault is local: it lies on one alpha_i alpha_j cycle or one vertex around
the rows of the application, and the family holds every kind of neighbourhood a row can have (free
or linked along each dimension, faces and vertices of several sizes, volumes sewn along alpha3).
An application that raises (a precondition of the engine or of the rule) is no fault.

Each finding names the right nodes (and deleted left nodes) around the fault, the dimensions and
the broken condition, and carries its witness: the small G-map and hook darts on which
`gorvinpy.apply` produces the fault (`finding.reproduces()` runs it again).
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Dict, FrozenSet, Iterable, List, Sequence, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.positions import POSITION_NAME
from ..operations.batch import apply
from .gmap_checks import CONDITION_PAIRS
from .rule_conditions import broken_conditions, describe_sources
from .rule_shape import RuleShape, rule_shape
from .witness_maps import WitnessMap, witness_maps

LINK, POSITION = "link", "position"
_SAME_POINT = 1e-9


@dataclass(frozen=True)
class Witness:
    """A small G-map and the hook darts at which the rule produces the fault."""

    source: WitnessMap = field(repr=False, compare=False)
    hooks: Tuple[int, ...]

    @property
    def map_name(self) -> str:
        return self.source.name

    @property
    def gmap(self) -> gorvinpy_bin.GMap3D:
        """A new copy of the G-map, before any application."""
        return self.source.fresh()

    def apply(self, rule: gorvinpy_bin.Rule3D) -> gorvinpy_bin.GMap3D:
        """A copy of the G-map with the rule applied at the hooks by `gorvinpy.apply`."""
        result = self.source.fresh()
        apply(result, rule, list(self.hooks))
        return result


@dataclass(frozen=True)
class Finding:
    """One way the rule breaks a G-map: kind "link" (alpha_i alpha_j no involution; dimensions (i, j))
    or "position" (a created dart without a position, or one vertex at several points)."""

    kind: str
    nodes: Tuple[str, ...]  # right nodes
    dimensions: Tuple[int, ...]
    condition: str
    witness: Witness
    left_nodes: Tuple[str, ...]  # deleted left nodes around the fault
    rule: gorvinpy_bin.Rule3D = field(repr=False, compare=False)

    def __str__(self) -> str:
        hooks = ", ".join(map(str, self.witness.hooks))
        return f"{self.condition} (witness: {self.witness.map_name}, hook dart {hooks})"

    def reproduces(self) -> bool:
        """True when applying the rule to the witness gives this fault again."""
        result = self.witness.apply(self.rule)
        trace = _trace(self.rule, self.witness)
        return self._key() in _faults(rule_shape(self.rule), self.witness.source.gmap, result, trace)

    def _key(self):
        return (self.kind, self.dimensions, frozenset(self.nodes), frozenset(self.left_nodes))


def check_rule(rule: gorvinpy_bin.Rule3D) -> List[Finding]:
    """The findings of a compiled rule, an empty list for a sound rule."""
    shape = rule_shape(rule)
    found: Dict[tuple, Finding] = {}
    for witness_map in witness_maps():
        for hooks in _hook_choices(witness_map, len(shape.hooks)):
            result = witness_map.fresh()
            try:
                apply(result, rule, list(hooks))
            except Exception:  # refused or failed: the application changes nothing, no fault
                continue
            faults = _faults_fast(witness_map.gmap, result)
            if not faults:
                continue
            witness = Witness(witness_map, tuple(hooks))
            trace = _trace(rule, witness)
            for key, condition in _faults(shape, witness_map.gmap, result, trace, found).items():
                if key not in found:
                    kind, dims, nodes, left_nodes = key
                    found[key] = Finding(
                        kind, tuple(sorted(nodes)), dims, condition, witness, tuple(sorted(left_nodes)), rule
                    )
    return list(found.values())


def _hook_choices(witness_map: WitnessMap, count: int) -> Iterable[Tuple[int, ...]]:
    if count == 0:
        yield ()
        return
    if count > 1 and len(witness_map.gmap) > 16:
        return
    others = range(len(witness_map.gmap))
    for first in witness_map.hooks:
        if count == 1:
            yield (first,)
        else:
            for rest in np.ndindex(*([len(others)] * (count - 1))):
                yield (first,) + tuple(int(d) for d in rest)


def _faults_fast(before: gorvinpy_bin.GMap3D, result: gorvinpy_bin.GMap3D) -> bool:
    """Whether the result has any fault at all (cheap, before the faults are named)."""
    involutions, conditions = _native.link_faults(result)
    if len(involutions) or len(conditions):
        return True
    missing, spread = _position_problems(before, result)
    return bool(missing or spread)


@dataclass
class _Trace:
    """Which node each dart of one application belongs to."""

    right: Dict[int, str]  # right dart -> right node
    left: Dict[int, str]  # matched dart -> left node


def _trace(rule: gorvinpy_bin.Rule3D, witness: Witness) -> _Trace:
    """Applies a copy of the rule whose expressions record the rows (same topology, same dart ids)."""
    shape = rule_shape(rule)
    trace = _Trace({}, {})
    traced = gorvinpy_bin.Rule3D(rule.name, rule.category)
    for node, orig in zip(shape.left, rule.leftnodes):
        traced.make_leftnode(node.name, list(node.orbit), orig.isHook)
    for node in shape.right:
        traced.make_rightnode(
            node.name, list(node.orbit), [gorvinpy_bin.Expr3DEbdDart("trace", _recorder(trace, shape, node.name))]
        )
    sides: List[Tuple[Sequence[Any], Sequence[Any], Any]] = [
        (shape.left, traced.leftnodes, traced.linkLeftNodes),
        (shape.right, traced.rightnodes, traced.linkRightNodes),
    ]
    for side, nodes, link in sides:
        for a, node in enumerate(side):
            for dim, b in enumerate(node.links):
                if b is not None and b >= a:
                    link(dim, nodes[a], nodes[b]) if b != a else link(dim, nodes[a])
    traced.compile()
    witness.gmap.apply(traced, list(witness.hooks))
    return trace


def _recorder(trace: _Trace, shape: RuleShape, name: str):
    def record(context: gorvinpy_bin.Context3D) -> dict:
        trace.right[context.rightdart.id] = name
        for node, dart in zip(shape.left, context.leftpattern):
            trace.left[dart.id] = node.name
        return {}

    return record


def _faults(
    shape: RuleShape, before: gorvinpy_bin.GMap3D, result: gorvinpy_bin.GMap3D, trace: _Trace, known=()
) -> Dict[tuple, str]:
    """Every fault of the result as key -> condition (worded once per key, none for the keys known)."""
    out: Dict[tuple, str] = {}
    involutions, conditions = _native.link_faults(result)
    links = _native.links(result)
    old = _native.links(before)
    live = _native.live_mask(result)
    for dart, dim, _, _ in involutions.tolist():  # never made by the engine's link steps; named all the same
        nodes = _nodes_around(shape, trace, [dart], (dim,), old, live)
        key = (LINK, (dim, dim), *nodes)
        if key not in out and key not in known:
            out[key] = f"alpha{dim} is no involution around {_names(nodes[0])}"
    for dart, pair, _ in conditions.tolist():
        i, j = CONDITION_PAIRS[pair]
        nodes = _nodes_around(shape, trace, _walk(links, dart, i, j), (i, j), old, live)
        key = (LINK, (i, j), *nodes)
        if key not in out and key not in known:
            out[key] = _link_condition(shape, i, j, *nodes)
    for kind_nodes, condition in _position_faults(before, result, trace):
        out.setdefault((POSITION, (), frozenset(kind_nodes), frozenset()), condition)
    return out


def _walk(links: np.ndarray, dart: int, i: int, j: int) -> List[int]:
    darts = [dart]
    for first, second in ((i, j), (j, i)):
        current = dart
        for dim in (first, second, first, second):
            current = int(links[current][dim])
            if current < 0 or current >= len(links):
                break
            darts.append(current)
    return darts


def _nodes_around(shape, trace: _Trace, walk, dims, old, live) -> Tuple[FrozenSet[str], FrozenSet[str]]:
    right = {trace.right[d] for d in walk if d in trace.right}
    deleted = set(shape.deleted)
    near = [int(old[d][dim]) for d in walk if d < len(old) for dim in dims]
    left = {trace.left[d] for d in near if d in trace.left and trace.left[d] in deleted and not live[d]}
    if not right:
        right = {trace.right[d] for d in near if d in trace.right}
    return frozenset(right), frozenset(left)


def _names(nodes: Iterable[str]) -> str:
    return ", ".join(repr(name) for name in sorted(nodes)) or "darts the rule does not name"


def _link_condition(shape: RuleShape, i: int, j: int, right: FrozenSet[str], left: FrozenSet[str]) -> str:
    words = [f"alpha{i} alpha{j} is not an involution around right node(s) {_names(right)}"]
    if left:
        words.append(f" next to the darts of deleted left node(s) {_names(left)}, whose partners become free")
    for name in sorted(right):
        index = shape.right_index(name)
        words.append(
            f"; {name!r} gets alpha{i} from {describe_sources(shape, index, i)} and alpha{j} from "
            f"{describe_sources(shape, index, j)}"
        )
    broken = [
        sentence for name in sorted(right) for sentence in broken_conditions(shape, shape.right_index(name), i, j)
    ]
    words.append(
        ". Condition: "
        + (
            "; ".join(dict.fromkeys(broken))
            if broken
            else f"following alpha{i}, alpha{j}, alpha{i}, alpha{j} from any dart must come back to it"
        )
    )
    return "".join(words)


def _position_problems(
    before: gorvinpy_bin.GMap3D, result: gorvinpy_bin.GMap3D
) -> Tuple[List[int], List[Dict[int, tuple]]]:
    """Created darts without a position, and the vertices holding a dart with a new position (created,
    or given one by an expression) whose darts lie at different points (each as dart -> point), in a
    result whose old darts all carry positions. Vertices that only join old darts keep the G-map's
    geometry, the rule gives them no point."""
    base = len(before)
    live = np.flatnonzero(_native.live_mask(result))
    created = live[live >= base]
    try:
        _native.positions(result, created)
        missing: List[int] = []
    except KeyError:
        missing = [int(d) for d in created if POSITION_NAME not in result.ebd123(int(d))]
    placed = np.setdiff1d(live, np.asarray(missing, dtype=live.dtype))
    if not len(placed):
        return missing, []
    points = _native.positions(result, placed)
    kept = int(np.searchsorted(placed, base))  # placed ascends: its first rows are old darts
    moved = np.ones(len(placed), dtype=bool)
    moved[:kept] = (_native.positions(before, placed[:kept]) != points[:kept]).any(axis=1)
    labels = np.asarray(gorvinpy_bin.Islet([1, 2, 3])(result), dtype=np.int64)[placed]
    order = np.argsort(labels, kind="stable")
    starts = np.flatnonzero(np.r_[True, labels[order][1:] != labels[order][:-1]])
    ends = np.r_[starts[1:], len(order)]
    first = np.repeat(points[order][starts], ends - starts, axis=0)
    far = np.abs(points[order] - first).max(axis=1) > _SAME_POINT * (1 + np.abs(points[order]).max(axis=1))
    bad = np.logical_or.reduceat(far, starts) & np.logical_or.reduceat(moved[order], starts)
    spread = [
        {int(placed[row]): tuple(np.round(points[row], 4).tolist()) for row in order[starts[g] : ends[g]]}
        for g in np.flatnonzero(bad)
    ]
    return missing, spread


def _position_faults(before: gorvinpy_bin.GMap3D, result: gorvinpy_bin.GMap3D, trace: _Trace):
    missing, spread = _position_problems(before, result)
    for name in sorted({trace.right[d] for d in missing if d in trace.right}):
        yield (name,), f"created node {name!r} has no position expression: its darts get no position"
    for vertex in spread:
        names = sorted({trace.right[d] for d in vertex if d in trace.right})
        if names:
            points = {trace.right.get(d, "(a dart the rule does not change)"): point for d, point in vertex.items()}
            listed = ", ".join(f"{name!r} at {point}" for name, point in sorted(points.items()))
            yield (
                tuple(names),
                (
                    f"darts of one vertex get different positions: right node(s) {_names(names)} share a vertex "
                    f"(orbit <1,2,3>) but their position expressions give different points ({listed})"
                ),
            )
