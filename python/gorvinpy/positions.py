"""Vertex positions stored on darts, and the points derived from them.

A position is a tuple of three floats kept under the key "position" in the vertex-orbit slot
(orbit <1,2,3>) of a dart. Every dart holds its own value.

The points derived from positions are `PointRule` objects: `position`, `edge_midpoint`,
`face_centre` and `volume_centre` read one dart's position or average over its edge, face or
volume, and they combine into affine rules (`face_centre + (0, 0, 1)`, `0.5 * a + 0.5 * b`,
`edge_midpoint.of(1)` for the dart of left node 1). Called with (gmap, dart) they compute one point
in Python; inside a rule (`gorvinpy.batch.expression`) they also carry a program that
`gorvinpy.apply` runs natively for all rows at once, with the same floating-point operations in
the same order, so both give the same values bit for bit. An orbit mean sums the positions of the
orbit's darts in ascending id order, starting from 0.0, and divides by their number.
"""

from __future__ import annotations

import numbers
import re
from typing import Any, Callable, Iterable, Optional, Sequence, Tuple

import numpy as np

import gorvinpy_bin

from . import _native
from .point import Point

POSITION_NAME = "position"
VERTEX_ORBIT = (1, 2, 3)
POSITION = gorvinpy_bin.Ebd(POSITION_NAME, list(VERTEX_ORBIT))

# A term of an affine rule: weight, orbit, left node (None: the node the rule is evaluated at).
Term = Tuple[float, Tuple[int, ...], Optional[int]]
DartOf = Callable[[Optional[int]], int]


class MissingPositionError(KeyError):
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
    """The average of points, summed in order from 0.0."""
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


def orbit_mean(gmap: gorvinpy_bin.GMap3D, dart: int, orbit: Sequence[int]) -> Point:
    """The mean position over the orbit of a dart, its darts taken in ascending id order; the
    dart's own position (as floats) for an empty orbit."""
    if not orbit:
        return as_point(stored_position(gmap, dart))
    darts = sorted(gorvinpy_bin.Orbit(list(orbit))(gmap, dart))
    return mean(as_point(stored_position(gmap, d)) for d in darts)


class PointRule:
    """A point computed from the positions around a dart: sum of weight * orbit mean, plus an
    optional offset. Subclasses keep simpler forms (the stored position itself, a constant); the
    rest of the language (`at`, `mean`, `where`, normals, ...) is in gorvinpy.point_rules."""

    affine = True

    def __init__(self, terms: Sequence[Term], shift: Optional[Sequence[float]] = None) -> None:
        if not terms and shift is None:
            raise ValueError("a point rule needs a term or an offset")
        self.terms: Tuple[Term, ...] = tuple(
            (float(weight), tuple(int(d) for d in orbit), node) for weight, orbit, node in terms
        )
        self.shift: Optional[Point] = None if shift is None else as_point(shift)

    def __call__(self, gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
        if any(node is not None for _, _, node in self.terms):
            raise TypeError(f"{self!r} reads fixed left nodes: evaluate it inside a rule")
        return self.value(gmap, lambda node: dart)

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        """The point, where dart_of(node) gives the dart of a term's left node."""
        total: Optional[Point] = None
        for weight, orbit, node in self.terms:
            m = orbit_mean(gmap, dart_of(node), orbit)
            term = (weight * m[0], weight * m[1], weight * m[2])
            total = term if total is None else offset(total, term)
        if self.shift is not None:
            total = self.shift if total is None else offset(total, self.shift)
        assert total is not None
        return total

    def program(self, node: int) -> tuple:
        """What the native evaluation runs for this rule evaluated at left node `node`."""
        terms = [(node if n is None else n, list(orbit), weight) for weight, orbit, n in self.terms]
        return ("affine", terms, self.shift)

    def of(self, node: int) -> "PointRule":
        """This rule read at the dart of left node `node` rather than the evaluated node."""
        return PointRule([(w, orbit, node if n is None else n) for w, orbit, n in self.terms], self.shift)

    def at(self, *dims: int) -> "PointRule":
        """This rule at the dart reached by following alpha_dims[0], then alpha_dims[1], ..."""
        from .point_rules import at

        return at(self, *dims)

    def __truediv__(self, divisor: object) -> "PointRule":
        from .point_rules import as_scalar, quotient

        return quotient(self, as_scalar(divisor))

    def __neg__(self) -> "PointRule":
        return (-1.0) * self

    def __add__(self, other: object) -> "PointRule":
        if isinstance(other, PointRule) and not other.affine:
            return NotImplemented
        if isinstance(other, PointRule):
            shift = other.shift if self.shift is None else self.shift
            if self.shift is not None and other.shift is not None:
                shift = offset(self.shift, other.shift)
            return PointRule(self.terms + other.terms, shift)
        vector = as_point(other)  # type: ignore[arg-type]
        return PointRule(self.terms, vector if self.shift is None else offset(self.shift, vector))

    __radd__ = __add__

    def __mul__(self, factor: float) -> "PointRule":
        if not isinstance(factor, numbers.Real):
            return NotImplemented
        factor = float(factor)
        shift = None if self.shift is None else tuple(factor * x for x in self.shift)
        return PointRule([(factor * w, orbit, node) for w, orbit, node in self.terms], shift)

    __rmul__ = __mul__

    def __sub__(self, other: object) -> "PointRule":
        if isinstance(other, PointRule) and not other.affine:
            return NotImplemented
        if isinstance(other, PointRule):
            return self + (-1.0) * other
        return self + tuple(-float(x) for x in other)  # type: ignore[attr-defined]

    def __repr__(self) -> str:
        return f"PointRule(terms={list(self.terms)}, offset={self.shift})"


class OrbitMean(PointRule):
    """The mean position over an orbit of the dart."""

    def __init__(self, orbit: Sequence[int], name: str) -> None:
        super().__init__([(1.0, tuple(orbit), None)])
        self.name = name

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        return orbit_mean(gmap, dart_of(None), self.terms[0][1])

    def __repr__(self) -> str:
        return self.name


class StoredPosition(PointRule):
    """The position stored on the dart, the stored object itself."""

    def __init__(self) -> None:
        super().__init__([(1.0, (), None)])

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        return stored_position(gmap, dart_of(None))

    def program(self, node: int) -> tuple:
        return ("copy", node)

    def __repr__(self) -> str:
        return "position"


class Constant(PointRule):
    """A fixed point, the same tuple for every dart."""

    def __init__(self, point: Sequence[float]) -> None:
        super().__init__([], point)

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        assert self.shift is not None
        return self.shift

    def program(self, node: int) -> tuple:
        return ("constant", self.shift)

    def __repr__(self) -> str:
        return f"Constant({self.shift})"


position = StoredPosition()
edge_midpoint = OrbitMean((0,), "edge_midpoint")
face_centre = OrbitMean((0, 1), "face_centre")
volume_centre = OrbitMean((0, 1, 2), "volume_centre")
