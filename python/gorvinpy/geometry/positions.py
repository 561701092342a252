"""Vertex positions stored on darts.

A position is a tuple of three floats kept under the key "position" in the vertex-orbit slot
(orbit <1,2,3>) of a dart. Every dart holds its own value.

The points derived from positions are point rules (point_rules.py). An orbit mean sums the
positions of the orbit's darts in ascending id order, starting from 0.0, and divides by their
number.
"""

from __future__ import annotations

import re
from typing import Any, Callable, Optional, Sequence

import numpy as np

import gorvinpy_bin

from .. import _native
from ..errors import GorvinError
from .point import Point

POSITION_NAME = "position"
VERTEX_ORBIT = (1, 2, 3)
POSITION = gorvinpy_bin.Ebd(POSITION_NAME, list(VERTEX_ORBIT))

DartOf = Callable[[Optional[int]], int]


class MissingPositionError(GorvinError, KeyError):
    """A dart that should carry a position has none."""

    def __str__(self) -> str:
        return str(self.args[0])


def stored_position(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """The position stored on a dart (the stored object itself)."""
    value = gmap.ebd123(dart).get(POSITION_NAME)
    if value is None:
        raise MissingPositionError(f"dart {dart} of {gmap} has no {POSITION_NAME!r}")
    return value


def positions(gmap: gorvinpy_bin.GMap3D, darts: Any) -> np.ndarray:
    """The positions stored on darts, as an (n, 3) float64 array."""
    return _named_missing(gmap, _native.positions, darts)


def _named_missing(gmap: gorvinpy_bin.GMap3D, read: Callable[..., np.ndarray], *args: Any) -> np.ndarray:
    """read(gmap, *args), a missing position raised as MissingPositionError naming the G-map."""
    try:
        return read(gmap, *args)
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


def offset(point: Sequence[float], vector: Sequence[float]) -> Point:
    """point + vector."""
    return (point[0] + vector[0], point[1] + vector[1], point[2] + vector[2])


def orbit_mean(gmap: gorvinpy_bin.GMap3D, dart: int, orbit: Sequence[int]) -> Point:
    """The mean position over the orbit of a dart, its darts taken in ascending id order; the
    dart's own position (as floats) for an empty orbit. Summed natively, as `gorvinpy.apply` sums
    it."""
    x, y, z = _named_missing(gmap, _native.orbit_means, [dart], list(orbit))[0].tolist()
    return (x, y, z)
