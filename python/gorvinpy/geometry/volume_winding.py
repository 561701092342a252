"""Which way the faces of each volume turn, so that a page may draw only the faces that look at the
viewer.

The darts of an orientable volume fall into two sides, opposite across every alpha0, alpha1 and
alpha2 link, the volume's smallest dart on side 0. A face walked (alpha0, then alpha1) from a dart
of side 0 turns against its neighbours across every edge, so the faces of the volume agree; the sign
of the volume that they enclose tells whether they turn outwards. Only closed volumes (every dart
linked to another along alpha0, alpha1 and alpha2) have an inside that no viewer sees.
"""

from __future__ import annotations

from typing import Tuple

import numpy as np

from ..pictures.dart_view import NO_DART


def dart_sides(links: np.ndarray, volume: np.ndarray) -> Tuple[np.ndarray, np.ndarray]:
    """links: (n, 4) rows of the partners (NO_DART: none live), volume: (n,) each dart's volume.
    The side (0 or 1) of every dart, and per volume whether it is closed and orientable."""
    count = len(links)
    side = np.full(count, -1, dtype=np.int8)
    seeds = np.unique(volume, return_index=True)[1]
    side[seeds] = 0
    frontier = seeds
    partners = links[:, :3]
    while len(frontier):
        reached = partners[frontier]
        new = reached != NO_DART
        new[new] = side[reached[new]] == -1
        side[reached[new]] = np.repeat(1 - side[frontier], 3).reshape(-1, 3)[new]
        frontier = np.unique(reached[new])
    own = np.arange(count)[:, None]
    bad = (partners == NO_DART) | (partners == own) | (side[partners] == side[:, None]) | (side[:, None] == -1)
    faults = np.bincount(volume, weights=bad.any(axis=1), minlength=int(volume.max(initial=-1)) + 1)
    return side, faults == 0


def turn_outwards(points: np.ndarray, triangles: np.ndarray, volumes: np.ndarray, centres: np.ndarray) -> np.ndarray:
    """The triangles (rows of points, each volume's turning one way) with those of every volume that
    encloses a negative volume reversed; centres (a point per volume) keep the sums small."""
    a, b, c = (points[triangles[:, j]] - centres[volumes] for j in range(3))
    enclosed = np.bincount(volumes, weights=np.einsum("ij,ij->i", a, np.cross(b, c)),
                           minlength=int(volumes.max(initial=-1)) + 1)
    inwards = enclosed[volumes] < 0
    turned = triangles.copy()
    turned[inwards] = triangles[inwards][:, [0, 2, 1]]
    return turned
