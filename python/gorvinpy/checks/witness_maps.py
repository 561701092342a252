"""Small G-maps on which rules are tried: free darts, edges, paths, open and closed surfaces and
sewn volumes, every dart with a position in general position (no two vertices at one point).

Each map comes with hook darts, one per class of darts that the map's symmetries exchange (an
automorphism of a connected G-map is fixed by the image of one dart), so that trying a rule at
those darts tries it at every dart up to symmetry.
"""

from __future__ import annotations

import functools
from dataclasses import dataclass, field
from typing import Callable, Dict, List, Sequence, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..files.mesh_darts import add_mesh
from ..geometry.positions import set_position
from ..geometry.volumes import CellFaces, add_volumes


@dataclass(frozen=True)
class WitnessMap:
    """A named small G-map (never changed: `fresh()` gives a copy) and its hook darts up to symmetry."""

    name: str
    gmap: gorvinpy_bin.GMap3D
    hooks: Tuple[int, ...]
    links: np.ndarray = field(repr=False, compare=False)
    points: np.ndarray = field(repr=False, compare=False)

    def fresh(self) -> gorvinpy_bin.GMap3D:
        """A new G-map with the same links and positions."""
        gmap = gorvinpy_bin.Modeler3D().make_gmap()
        _native.append_darts(gmap, self.links, self.points)
        return gmap


def _jitter(points: Sequence[Sequence[float]]) -> np.ndarray:
    """Points moved by small distinct offsets, so that no two coincide and no centres agree by accident."""
    array = np.asarray(points, dtype=float)
    offsets = np.sin(np.arange(array.size, dtype=float) * 12.9898 + 1.0).reshape(array.shape)
    return array + 0.01 * offsets


def _darts(links: Sequence[Tuple[int, int, int]], count: int) -> gorvinpy_bin.GMap3D:
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    gmap.make_darts(count)
    for dim, a, b in links:
        gmap.linkAlpha(dim, a, b)
    vertices = gorvinpy_bin.Islet([1, 2, 3])(gmap)
    points = _jitter([(dart, dart % 2, 0) for dart in range(count)])
    for dart in range(count):
        set_position(gmap, dart, tuple(points[vertices[dart]]))
    return gmap


def _surface(points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]]) -> gorvinpy_bin.GMap3D:
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    add_mesh(gmap, _jitter(points), faces)
    return gmap


def _volumes(points: Sequence[Sequence[float]], cell_type: str, cells: Sequence[Sequence[int]]) -> gorvinpy_bin.GMap3D:
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    faces = CellFaces()
    faces.add_cells(cell_type, np.asarray(cells))
    add_volumes(gmap, _jitter(points), faces)
    return gmap


def _sewn_squares() -> gorvinpy_bin.GMap3D:
    """Two squares sewn dart to dart along alpha3: a face between two open volumes."""
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    gmap.make_darts(16)
    corners = _jitter(_SQUARE)
    for copy_start in (0, 8):
        for dart in range(0, 8, 2):
            gmap.linkAlpha(0, copy_start + dart, copy_start + dart + 1)
            gmap.linkAlpha(1, copy_start + dart + 1, copy_start + (dart + 2) % 8)
    for dart in range(16):
        if dart < 8:
            gmap.linkAlpha(3, dart, dart + 8)
        set_position(gmap, dart, tuple(corners[(dart % 8 + 1) // 2 % 4]))
    return gmap


_SQUARE = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
_STRIP = [(i, j, 0) for j in (0, 1) for i in range(4)]
_RING = [(np.cos(k * np.pi / 2), np.sin(k * np.pi / 2), z) for z in (0, 1) for k in range(4)]
_CUBE = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1)]
_CUBE_FACES = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
_TWO_CUBES = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1, 2)]
_THREE_CUBES = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1, 2, 3)]

BUILDERS: Dict[str, Callable[[], gorvinpy_bin.GMap3D]] = {
    "a single dart": lambda: _darts([], 1),
    "one edge": lambda: _darts([(0, 0, 1)], 2),
    "an open path of two edges": lambda: _darts([(0, 0, 1), (1, 1, 2), (0, 2, 3)], 4),
    "a triangle": lambda: _surface(_SQUARE[:3], [[0, 1, 2]]),
    "a square": lambda: _surface(_SQUARE, [[0, 1, 2, 3]]),
    "two faces sewn along an edge": lambda: _surface(_SQUARE + [(2, 0.5, 0)], [[0, 1, 2, 3], [1, 4, 2]]),
    "an open strip of three squares": lambda: _surface(_STRIP, [[0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6]]),
    "a closed strip of four squares": lambda: _surface(
        _RING, [[k, (k + 1) % 4, 4 + (k + 1) % 4, 4 + k] for k in range(4)]
    ),
    "a cube": lambda: _surface(_CUBE, _CUBE_FACES),
    "a square sewn to its copy along alpha3": _sewn_squares,
    "a tetrahedron": lambda: _volumes(_CUBE[:3] + [_CUBE[4]], "tetra", [[0, 1, 2, 3]]),
    "two tetrahedra sewn along a face": lambda: _volumes(
        [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 1)], "tetra", [[0, 1, 2, 3], [1, 2, 3, 4]]
    ),
    "two cubes sewn along a face": lambda: _volumes(
        _TWO_CUBES, "hexahedron", [[0, 1, 4, 3, 6, 7, 10, 9], [1, 2, 5, 4, 7, 8, 11, 10]]
    ),
    "three cubes sewn in a row": lambda: _volumes(
        _THREE_CUBES,
        "hexahedron",
        [[i, i + 1, i + 5, i + 4, i + 8, i + 9, i + 13, i + 12] for i in range(3)],
    ),
}


def symmetry_classes(gmap: gorvinpy_bin.GMap3D) -> List[int]:
    """One dart per class of darts that automorphisms of the G-map exchange, smallest first."""
    links = _native.links(gmap).tolist()
    count = len(links)
    seen = [False] * count
    representatives = []
    for dart in range(count):
        if seen[dart]:
            continue
        representatives.append(dart)
        for image in range(count):
            if not seen[image] and _automorphism(links, dart, image) is not None:
                seen[image] = True
    return representatives


def _automorphism(links: List[List[int]], source: int, image: int):
    """The map of source's connected part that sends source to image and keeps every link, or None."""
    mapping = {source: image}
    stack = [source]
    while stack:
        dart = stack.pop()
        for dim in range(4):
            neighbour, target = links[dart][dim], links[mapping[dart]][dim]
            known = mapping.get(neighbour)
            if known is None:
                mapping[neighbour] = target
                stack.append(neighbour)
            elif known != target:
                return None
    return mapping if len(set(mapping.values())) == len(mapping) else None


@functools.lru_cache(maxsize=None)
def witness_maps() -> Tuple[WitnessMap, ...]:
    """The family, smallest maps first (their witnesses are the easiest to read)."""
    maps = []
    for name, build in BUILDERS.items():
        gmap = build()
        links, points = _native.links(gmap), _native.positions(gmap, range(len(gmap)))
        maps.append(WitnessMap(name, gmap, tuple(symmetry_classes(gmap)), links, points))
    return tuple(maps)
