"""Checks of a G-map's links, and counts of its cells.

A G-map is sound when each alpha_i is an involution on its live darts (alpha_i(alpha_i(x)) == x,
never naming a missing or deleted dart) and alpha_i alpha_j is an involution whenever i + 2 <= j,
that is for (i, j) = (0, 2), (0, 3), (1, 3). Cells are counted as orbits of live darts: vertices
<1,2,3>, edges <0,2,3>, faces <0,1,3>, volumes <0,1,2> and connected parts <0,1,2,3>.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import List, Set

import numpy as np

import gorvinpy_bin

from .. import _native

CONDITION_PAIRS = ((0, 2), (0, 3), (1, 3))
_CELL_ORBITS = {
    "vertices": [1, 2, 3],
    "edges": [0, 2, 3],
    "faces": [0, 1, 3],
    "volumes": [0, 1, 2],
    "components": [0, 1, 2, 3],
}


@dataclass(frozen=True)
class CellCounts:
    """The number of cells of each dimension and of connected parts."""

    vertices: int
    edges: int
    faces: int
    volumes: int
    components: int

    @property
    def euler(self) -> int:
        """Vertices - edges + faces: 2 for a closed surface like a sphere, 0 for a torus."""
        return self.vertices - self.edges + self.faces


def live_darts(gmap: gorvinpy_bin.GMap3D) -> Set[int]:
    """The ids of the darts that exist (not deleted)."""
    return set(np.flatnonzero(_native.live_mask(gmap)).tolist())


def cell_counts(gmap: gorvinpy_bin.GMap3D) -> CellCounts:
    """Counts the vertices, edges, faces, volumes and connected parts of a G-map."""
    counts = _native.cell_counts(gmap, list(_CELL_ORBITS.values()))
    return CellCounts(**dict(zip(_CELL_ORBITS, counts)))


def euler_characteristic(gmap: gorvinpy_bin.GMap3D) -> int:
    """Vertices - edges + faces of a G-map."""
    return cell_counts(gmap).euler


def involution_errors(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """One message per live dart and dimension where alpha_i is not an involution."""
    return _involution_messages(_native.link_faults(gmap)[0])


def condition_errors(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """One message per live dart and pair (i, j), i + 2 <= j, where alpha_i alpha_j is not an involution."""
    return _condition_messages(_native.link_faults(gmap)[1])


def check_gmap(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """Every fault of the two kinds above; an empty list for a sound G-map."""
    involutions, conditions = _native.link_faults(gmap)
    return _involution_messages(involutions) + _condition_messages(conditions)


def is_gmap(gmap: gorvinpy_bin.GMap3D) -> bool:
    """True when the G-map has no fault."""
    return not check_gmap(gmap)


def _involution_messages(faults: np.ndarray) -> List[str]:
    return [
        f"alpha{dim}({dart}) = {neighbour}, which is not a live dart"
        if back < 0
        else f"alpha{dim}({dart}) = {neighbour} but alpha{dim}({neighbour}) = {back}"
        for dart, dim, neighbour, back in faults.tolist()
    ]


def _condition_messages(faults: np.ndarray) -> List[str]:
    messages = []
    for dart, pair, image in faults.tolist():
        i, j = CONDITION_PAIRS[pair]
        messages.append(f"alpha{i} alpha{j} is not an involution at dart {dart}: it gives back {image}")
    return messages
