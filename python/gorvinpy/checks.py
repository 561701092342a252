"""Checks of a G-map's links, and counts of its cells.

A G-map is sound when each alpha_i is an involution on its live darts (alpha_i(alpha_i(x)) == x,
never naming a missing or deleted dart) and alpha_i alpha_j is an involution whenever i + 2 <= j,
that is for (i, j) = (0, 2), (0, 3), (1, 3). Cells are counted as orbits of live darts: vertices
<1,2,3>, edges <0,2,3>, faces <0,1,3>, volumes <0,1,2> and connected parts <0,1,2,3>.
"""

from __future__ import annotations

from dataclasses import dataclass
from operator import itemgetter
from typing import Dict, List, Set, Tuple

import gorvinpy_bin

WHOLE_MAP = -42  # the orbit entry that stands for every live dart
CONDITION_PAIRS = ((0, 2), (0, 3), (1, 3))
_CELL_ORBITS = {
    "vertices": (1, 2, 3),
    "edges": (0, 2, 3),
    "faces": (0, 1, 3),
    "volumes": (0, 1, 2),
    "components": (0, 1, 2, 3),
}

Links = Dict[int, Tuple[int, ...]]
_ALPHAS = itemgetter(0, 1, 2, 3)  # the four links of a dart record, as a tuple


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
    return gorvinpy_bin.Orbit([WHOLE_MAP])(gmap, 0)


def cell_counts(gmap: gorvinpy_bin.GMap3D) -> CellCounts:
    """Counts the vertices, edges, faces, volumes and connected parts of a G-map."""
    live = live_darts(gmap)
    counts = {}
    for name, orbit in _CELL_ORBITS.items():
        labels = gorvinpy_bin.Islet(list(orbit))(gmap)
        counts[name] = len({labels[dart] for dart in live})
    return CellCounts(**counts)


def euler_characteristic(gmap: gorvinpy_bin.GMap3D) -> int:
    """Vertices - edges + faces of a G-map."""
    return cell_counts(gmap).euler


def involution_errors(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """One message per live dart and dimension where alpha_i is not an involution."""
    return _involution_errors(_links(gmap))


def condition_errors(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """One message per live dart and pair (i, j), i + 2 <= j, where alpha_i alpha_j is not an involution."""
    return _condition_errors(_links(gmap))


def check_gmap(gmap: gorvinpy_bin.GMap3D) -> List[str]:
    """Every fault of the two kinds above; an empty list for a sound G-map."""
    links = _links(gmap)
    return _involution_errors(links) + _condition_errors(links)


def is_gmap(gmap: gorvinpy_bin.GMap3D) -> bool:
    """True when the G-map has no fault."""
    return not check_gmap(gmap)


def _involution_errors(links: Links) -> List[str]:
    errors = []
    for dart, alphas in sorted(links.items()):
        for dim, neighbour in enumerate(alphas):
            if neighbour not in links:
                errors.append(f"alpha{dim}({dart}) = {neighbour}, which is not a live dart")
            elif links[neighbour][dim] != dart:
                errors.append(
                    f"alpha{dim}({dart}) = {neighbour} but alpha{dim}({neighbour}) = {links[neighbour][dim]}"
                )
    return errors


def _condition_errors(links: Links) -> List[str]:
    errors = []
    for dart in sorted(links):
        for i, j in CONDITION_PAIRS:
            image = _follow(links, dart, (i, j, i, j))
            if image is not None and image != dart:
                errors.append(f"alpha{i} alpha{j} is not an involution at dart {dart}: it gives back {image}")
    return errors


def _links(gmap: gorvinpy_bin.GMap3D) -> Links:
    return {dart: _ALPHAS(gmap[dart].dart()) for dart in live_darts(gmap)}


def _follow(links: Links, dart: int, path: Tuple[int, ...]):
    """The dart reached along path, or None when the path leaves the live darts."""
    for dim in path:
        if dart not in links:
            return None
        dart = links[dart][dim]
    return dart if dart in links else None
