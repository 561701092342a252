"""Vertex positions stored on darts, and the points derived from them.

A position is a tuple of three floats kept under the key "position" in the vertex-orbit slot
(orbit <1,2,3>) of a dart. Every dart holds its own value: the helpers here read one dart, or
average over the darts of a face or an edge.
"""

from __future__ import annotations

import re
from typing import Any, Iterable, Optional, Sequence

import gorvinpy_bin
import numpy as np

from . import _native
from .meshio import Point

POSITION_NAME = "position"
VERTEX_ORBIT = (1, 2, 3)
POSITION = gorvinpy_bin.Ebd(POSITION_NAME, list(VERTEX_ORBIT))
_FACE = gorvinpy_bin.Orbit([0, 1])


class MissingPositionError(KeyError):
    """A dart that should carry a position has none."""

    def __str__(self) -> str:
        return str(self.args[0])


def position(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """The position stored on a dart."""
    value = gmap.ebd123(dart).get(POSITION_NAME)
    if value is None:
        raise MissingPositionError(f"dart {dart} of {gmap} has no {POSITION_NAME!r}")
    return value


def positions(gmap: gorvinpy_bin.GMap3D, darts: Any) -> np.ndarray:
    """The positions stored on darts, as an (n, 3) float64 array."""
    try:
        return _native.positions(gmap, darts)
    except KeyError as error:
        dart = re.match(r"dart (\d+)", str(error.args[0]))
        raise MissingPositionError(
            f"dart {dart.group(1) if dart else '?'} of {gmap} has no {POSITION_NAME!r}"
        ) from None


def set_positions(gmap: gorvinpy_bin.GMap3D, darts: Any, points: Any, rows: Optional[Any] = None) -> None:
    """Stores points[rows[i]] (points[i] without rows) as the position of darts[i], in place in
    each dart's slot dict; darts given the same row share one tuple."""
    _native.set_positions(gmap, darts, np.asarray(points, dtype=np.float64), rows)


def set_position(gmap: gorvinpy_bin.GMap3D, dart: int, point: Sequence[float]) -> None:
    """Stores a position on a dart, in place in its slot dict (darts that share that dict see it too)."""
    gmap.ebd123(dart)[POSITION_NAME] = as_point(point)


def as_point(values: Sequence[float]) -> Point:
    """Three numbers as a tuple of floats."""
    x, y, z = values
    return (float(x), float(y), float(z))


def mean(points: Iterable[Sequence[float]]) -> Point:
    """The average of points."""
    total = [0.0, 0.0, 0.0]
    count = 0
    for point in points:
        for axis in range(3):
            total[axis] += point[axis]
        count += 1
    return (total[0] / count, total[1] / count, total[2] / count)


def offset(point: Sequence[float], vector: Sequence[float]) -> Point:
    """point + vector."""
    return (point[0] + vector[0], point[1] + vector[1], point[2] + vector[2])


def edge_midpoint(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """The middle of the edge between a dart and its alpha0 neighbour."""
    return mean((position(gmap, dart), position(gmap, gmap.alpha(dart, 0).id)))


def face_centre(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """The average of the corners of a dart's face (each corner has two darts, so each counts once)."""
    return mean(position(gmap, d) for d in _FACE(gmap, dart))
