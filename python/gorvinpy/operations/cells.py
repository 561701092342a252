"""Cell operations on surfaces: edges inserted, removed and contracted, vertices and faces
removed, holes filled. Each returns a compiled Rule3D applied with `gorvinpy.apply(gmap, rule,
hooks)` (or `gmap.apply`, same G-map); where the place does not fit, `gorvinpy.apply` raises
`RuleInputError` naming the dart before any change.

Rules for any place (hook node "n0"):
- `insert_edge()`: hooks "n0" and "n1", two darts of one face turned the same way round it (n1 is
  reached from n0 by alpha1 alpha0 steps, as n0 is), at different corners: a new edge joins the two
  corners and splits the face. The new darts sit at the corners' positions.
- `remove_edge()`: the hook's edge, interior and between two different faces, goes and the two
  faces become one.
- `remove_vertex()`: the hook's vertex, of two edges, goes and its two edges become one.
- `remove_face()`: the hook's face goes, opening a hole; its edges and vertices that belong to no
  other face go with it. A face sewn along alpha3 goes from both volumes.
These act on the alpha3 partner the same way (hook orbits hold 3), so faces of volumes sewn along
alpha3 stay sewn.

Rules made for one place, `contract_edge(gmap, dart)` and `fill_hole(gmap, dart)`: what they
rewrite is not an orbit of the hook. Contracting an edge moves every dart of its two end vertices
to the edge's middle (positions live on every dart of a vertex, and a vertex holds as many darts as
its degree makes); a hole's boundary loop follows alpha0 and then (alpha1 alpha2)^k alpha1 around
each vertex. So each function walks the place once and returns a rule whose left nodes are those
darts, reached from the hook by explicit left links along the walk (one row). The rule keeps what
it saw: applied at another dart, or after the links of those darts changed, it is refused.
`contract_edge` refuses an edge whose contraction would leave its ends two vertices at one point
(an interior edge between two boundary vertices), a loop edge and an edge with a free end.
"""

from __future__ import annotations

from typing import Callable, Dict, Iterable, Iterator, List, Optional, Sequence, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.point_rules import PointRule, edge_midpoint, position
from .builder import HOOK, Labels, rule
from .preconditions import RuleInputError

_EDGE = (0, 2, 3)
_VERTEX = (1, 2, 3)
_FACE = (0, 1)


def insert_edge() -> gorvinpy_bin.Rule3D:
    """Splits the face of hooks "n0" and "n1" (same face, same turn, different corners) by a new
    edge between their corners."""
    left: Dict[str, Labels] = {"n1": (3,), "n0_corner": {}, "n1_corner": {}}
    kept: Dict[str, Labels] = {node: {} for node in (HOOK, *left)}
    cuts = {"cut_n0": {3: 3}, "cut_n0_corner": {3: 3}, "cut_n1": {3: 3}, "cut_n1_corner": {3: 3}}
    links = [
        *((1, node, f"cut_{node}") for node in kept),
        (0, "cut_n0", "cut_n1_corner"),
        (0, "cut_n0_corner", "cut_n1"),
        (2, "cut_n0", "cut_n0_corner"),
        (2, "cut_n1", "cut_n1_corner"),
    ]
    at_n1 = position.of(1)
    positions = {"cut_n0": position, "cut_n0_corner": position, "cut_n1": at_n1, "cut_n1_corner": at_n1}
    return rule(
        "insert_edge",
        (3,),
        {**kept, **cuts},
        links,
        positions,
        left=left,
        left_links=[(1, HOOK, "n0_corner"), (1, "n1", "n1_corner")],
        hooks=(HOOK, "n1"),
        precondition=_corners_of_one_face,
    )


def remove_edge() -> gorvinpy_bin.Rule3D:
    """Removes the hook's interior edge, merging its two faces."""
    return rule(
        "remove_edge",
        _EDGE,
        {"side": {2: 1}},
        left={"side": {}},
        left_links=[(1, HOOK, "side")],
        precondition=_interior_edge,
    )


def remove_vertex() -> gorvinpy_bin.Rule3D:
    """Removes the hook's vertex of two edges, merging the edges."""
    return rule(
        "remove_vertex",
        _VERTEX,
        {"far": {1: 0}},
        left={"far": {}},
        left_links=[(0, HOOK, "far")],
        precondition=_vertex_of_two_edges,
    )


def remove_face() -> gorvinpy_bin.Rule3D:
    """Removes the hook's face: the faces across its edges become free along alpha2 there."""
    return rule("remove_face", (0, 1, 3), {})


def contract_edge(gmap: gorvinpy_bin.GMap3D, dart: int) -> gorvinpy_bin.Rule3D:
    """The rule that contracts the edge of `dart` in `gmap` to one vertex at the edge's middle
    (apply it at [dart]). Raises RuleInputError for a loop edge, an edge with a free end, and an
    edge whose ends would stay two vertices (an interior edge between two boundary vertices)."""
    dart = _live(gmap, dart)
    edge = _orbit(gmap, dart, _EDGE)
    links = _native.dart_links(gmap, edge)
    near, far = _orbit(gmap, dart, _VERTEX), _orbit(gmap, int(links[np.searchsorted(edge, dart), 0]), _VERTEX)
    if dart in far:
        raise RuleInputError(f"dart {dart}: both ends of its edge are one vertex")
    _refuse(np.isin(links[:, 1], edge), edge, "its edge ends at a vertex of no other edge", dart)
    vertices = np.union1d(near, far)
    place = _Place(gmap, dart, vertices)
    alpha1 = dict(zip(edge.tolist(), links[:, 1].tolist()))
    joins = {tuple(sorted((alpha1[x], alpha1[int(a0)]))) for x, a0 in zip(edge.tolist(), links[:, 0])}
    kept = np.setdiff1d(vertices, edge).tolist()
    joined = {**dict(joins), **{b: a for a, b in joins}}
    if len(_tree(kept[0], lambda x: _after_join(place, joined, x))) + 1 < len(kept):
        raise RuleInputError(
            f"dart {dart}: contracting its edge would pinch the surface, its ends staying two vertices at one point"
        )
    return place.rule(
        "contract_edge",
        kept,
        new={},
        links=[(1, place.name(a), place.name(b)) for a, b in sorted(joins)],
        positions={place.name(x): edge_midpoint for x in kept},
    )


def fill_hole(gmap: gorvinpy_bin.GMap3D, dart: int) -> gorvinpy_bin.Rule3D:
    """The rule that closes the boundary loop of `dart` (free along alpha2) in `gmap` with one new
    face, sewn along alpha2 to the loop, its corners at the loop's positions (apply it at [dart]).
    Raises RuleInputError when the dart is not on a boundary, the loop is open or sewn along alpha3."""
    dart = _live(gmap, dart)
    walk, loop = _boundary_walk(gmap, dart)
    _refuse(_native.dart_links(gmap, loop)[:, 3] != loop, loop, "its hole is sewn along alpha3")
    place = _Place(gmap, dart, np.asarray(walk[0]), walk[1])
    new = [f"face{j}" for j in range(len(loop))]
    links = [(2, place.name(int(b)), new[j]) for j, b in enumerate(loop)]
    links += [(0, new[j], new[j + 1]) for j in range(0, len(loop), 2)]
    links += [(1, new[j], new[(j + 1) % len(loop)]) for j in range(1, len(loop), 2)]
    positions = {new[j]: place.position(int(b)) for j, b in enumerate(loop)}
    return place.rule("fill_hole", walk[0], dict.fromkeys(new, {}), links, positions)


class _Place:
    """Darts around a hook as the left nodes of a one-row rule: the hook is "n0", the others "d<id>",
    reached from the hook by `steps` (dim, from, to) between darts, or by a walk over their links.
    The rule refuses any other hook and any change of these darts' links."""

    def __init__(self, gmap: gorvinpy_bin.GMap3D, hook: int, darts: np.ndarray, steps=None) -> None:
        self.hook = hook
        self.darts = np.concatenate(([hook], np.setdiff1d(darts, [hook]))).astype(np.int64)
        self.links = _native.dart_links(gmap, self.darts)
        self.index = {int(d): i for i, d in enumerate(self.darts)}
        self.steps = steps if steps is not None else _tree(hook, self.neighbours)

    def name(self, dart: int) -> str:
        return HOOK if dart == self.hook else f"d{dart}"

    def position(self, dart: int) -> PointRule:
        """The position of one of the place's darts, read at its left node."""
        return position.of(self.index[dart])

    def neighbours(self, dart: int) -> Iterator[Tuple[int, int]]:
        """(dim, alpha_dim(dart)) for the dims whose neighbour is a dart of the place."""
        for dim, other in enumerate(self.links[self.index[dart]].tolist()):
            if other in self.index:
                yield dim, other

    def rule(self, name: str, kept: Sequence[int], new: Dict, links, positions) -> gorvinpy_bin.Rule3D:
        left: Dict[str, Labels] = {self.name(int(d)): {} for d in self.darts[1:]}
        nodes: Dict[str, Labels] = {**{self.name(int(d)): {} for d in kept}, **new}
        steps = [(dim, self.name(a), self.name(b)) for dim, a, b in self.steps]
        return rule(name, (), nodes, links, positions, left=left, left_links=steps, precondition=self._unchanged)

    def _unchanged(self, gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> None:
        if list(hooks) != [self.hook]:
            raise RuleInputError(f"this rule was made for dart {self.hook}, not at {list(hooks)}: make it there")
        if int(self.darts.max()) >= len(gmap):
            raise RuleInputError(f"dart {int(self.darts.max())} is gone since the rule was made: make it again")
        changed = (_native.dart_links(gmap, self.darts) != self.links).any(axis=1)
        _refuse(changed, self.darts, "its links changed since the rule was made: make it again")


def _tree(start: int, neighbours: Callable[[int], Iterable[Tuple[int, int]]]) -> List[Tuple[int, int, int]]:
    """The steps (dim, from, to) of a walk from start that reaches every dart connected to it once."""
    steps, reached, frontier = [], {start}, [start]
    while frontier:
        dart = frontier.pop()
        for dim, other in neighbours(dart):
            if other not in reached:
                reached.add(other)
                frontier.append(other)
                steps.append((dim, dart, other))
    return steps


def _after_join(place: _Place, joined: Dict[int, int], dart: int) -> Iterator[Tuple[int, int]]:
    """The vertex neighbours of a dart once the contracted edge's darts are gone: its alpha1
    neighbour is the one `joined` gives it, where it gives one."""
    for dim, other in place.neighbours(dart):
        if dim == 1:
            yield 1, joined.get(dart, other)
        elif dim > 1:
            yield dim, other


def _boundary_walk(gmap: gorvinpy_bin.GMap3D, dart: int):
    """The walk along the boundary loop of dart: ([darts], [dim of each step]) and the loop darts
    (free along alpha2) in loop order."""
    if _alpha(gmap, 2, dart) != dart:
        raise RuleInputError(f"dart {dart} is not on a boundary: it is sewn along alpha2")
    darts, steps, loop, seen = [dart], [], [dart], {dart}

    def step(dim: int) -> int:
        here = darts[-1]
        there = _alpha(gmap, dim, here)
        if there == here:
            raise RuleInputError(f"dart {here}: the boundary of dart {dart} is open there (free along alpha{dim})")
        if there in seen and there != dart:
            raise RuleInputError(f"dart {there}: the boundary walk from dart {dart} meets it twice")
        seen.add(there)
        steps.append((dim, here, there))
        darts.append(there)
        return there

    while True:
        loop.append(step(0))
        turned = step(1)
        while _alpha(gmap, 2, turned) != turned:
            step(2)
            turned = step(1)
        if turned == dart:
            darts.pop()
            steps.pop()
            return (darts, steps), np.asarray(loop, dtype=np.int64)
        loop.append(turned)


def _corners_of_one_face(gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> None:
    if len(hooks) != 2:
        return  # the engine refuses a wrong number of hooks
    first, second = (_live(gmap, dart) for dart in hooks)
    face = _orbit(gmap, first, _FACE)
    if second not in face:
        raise RuleInputError(f"dart {second} is not in the face of dart {first}")
    links = _native.dart_links(gmap, face)
    _refuse((links[:, :2] == face[:, None]).any(axis=1), face, "its face is open (free along alpha0 or alpha1)", first)
    local = np.searchsorted(face, links[:, :2])
    turn = _cycle_labels(local[local[:, 0], 1])  # alpha1 after alpha0: one cycle per way round
    if turn[np.searchsorted(face, first)] != turn[np.searchsorted(face, second)]:
        raise RuleInputError(
            f"dart {second} turns the other way round the face from dart {first}: hook its alpha1 "
            f"neighbour {int(links[np.searchsorted(face, second), 1])} instead"
        )
    if second == first:
        raise RuleInputError(f"dart {first} is both corners: hook two corners of the face")


def _interior_edge(gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> None:
    if len(hooks) != 1:
        return  # the engine refuses a wrong number of hooks
    dart = _live(gmap, hooks[0])
    edge = _orbit(gmap, dart, _EDGE)
    links = _native.dart_links(gmap, edge)
    _refuse(links[:, 2] == edge, edge, "its edge is on the boundary (free along alpha2)", dart)
    across, beyond = np.searchsorted(edge, links[:, 2]), np.searchsorted(edge, links[:, 3])
    _refuse(links[beyond, 2] != links[across, 3], edge, "its edge lies in more than two faces", dart)
    if int(links[np.searchsorted(edge, dart), 2]) in _orbit(gmap, dart, _FACE):
        raise RuleInputError(f"dart {dart}: its edge has the same face on both sides")
    _refuse(np.isin(links[:, 1], edge), edge, "its edge ends at a vertex of no other edge", dart)


def _vertex_of_two_edges(gmap: gorvinpy_bin.GMap3D, hooks: Sequence[int]) -> None:
    if len(hooks) != 1:
        return  # the engine refuses a wrong number of hooks
    dart = _live(gmap, hooks[0])
    vertex = _orbit(gmap, dart, _VERTEX)
    links = _native.dart_links(gmap, vertex)
    _refuse(np.isin(links[:, 0], vertex), vertex, "its edge does not lead to another vertex", dart)
    first = _orbit(gmap, dart, (2, 3))
    others = np.setdiff1d(vertex, first)
    second = _orbit(gmap, int(others[0]), (2, 3)) if len(others) else others
    if len(np.setdiff1d(others, second)):
        raise RuleInputError(f"dart {dart}: its vertex has more than two edges")
    on_first = np.isin(vertex, first)
    _refuse(np.isin(links[:, 1], first) == on_first, vertex, "its vertex has one edge", dart)


def _cycle_labels(successor: np.ndarray) -> np.ndarray:
    """The smallest index of each index's cycle under the permutation `successor`, by doubling."""
    label, step = np.arange(len(successor)), successor
    for _ in range(max(1, int(len(successor)).bit_length())):
        label = np.minimum(label, label[step])
        step = step[step]
    return label


def _refuse(faulty: np.ndarray, darts: np.ndarray, why: str, hook: Optional[int] = None) -> None:
    """Raises naming a faulty dart, the hook when it is one of them."""
    if faulty.any():
        at_hook = np.flatnonzero((darts == hook) & faulty)
        raise RuleInputError(f"dart {int(darts[at_hook[0] if len(at_hook) else np.argmax(faulty)])}: {why}")


def _live(gmap: gorvinpy_bin.GMap3D, dart: int) -> int:
    dart = int(dart)
    if not 0 <= dart < len(gmap) or not gmap.exists(dart):
        raise RuleInputError(f"dart {dart} is not a live dart of {gmap}")
    return dart


def _orbit(gmap: gorvinpy_bin.GMap3D, dart: int, dims: Sequence[int]) -> np.ndarray:
    return np.sort(np.fromiter(gorvinpy_bin.Orbit(list(dims))(gmap, dart), dtype=np.int64))


def _alpha(gmap: gorvinpy_bin.GMap3D, dim: int, dart: int) -> int:
    return int(gmap.alpha(dart, dim).id)
