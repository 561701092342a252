"""The point-rule language: points, numbers and conditions read around a dart.

The affine rules come first: `position`, `edge_midpoint`, `face_centre` and `volume_centre` read
one dart's position or average over its edge, face or volume, and they combine into affine rules
(`face_centre + (0, 0, 1)`, `0.5 * a + 0.5 * b`, `edge_midpoint.of(1)` for the dart of left node
1). Called with (gmap, dart) they compute one point in Python; inside a rule
(`gorvinpy.operations.batch.expression`) they also carry a program that `gorvinpy.apply` runs
natively for all rows at once, with the same floating-point operations in the same order, so both
give the same values bit for bit.

Every rule is evaluated at a dart (the "current" dart; in a rule, the dart of the node's left
node 0 unless `.of(node)` says otherwise):

- points: `position`, `edge_midpoint`, `face_centre`, ... (below), `rule.at(*dims)`
  (the rule at the dart reached by following alpha_dims[0], then alpha_dims[1], ...; a free link
  stays on the dart), `mean(rule, orbit, free=, linked=)` (the mean of the rule over the darts of
  the orbit, in ascending id order, only those free / not free along a dimension when asked),
  `where(condition, a, b)`, `cross(a, b)`, `normalized(a)`, `face_normal`, `vertex_normal`, and
  sums, differences, products with numbers and quotients by numbers;
- numbers: plain numbers, `orbit_size(orbit)`, `weight(function, orbit)` (a Python function of the
  orbit size, called once per distinct size by the native evaluation), `dot(a, b)`, + - * /;
- conditions: `is_free(dim, orbit=())` (some dart of the orbit is free along dim).

Evaluated per row in Python (`gmap.apply`) and natively for all rows (`gorvinpy.apply`) with the
same floating-point operations in the same order, so both store the same floats. `where` evaluates
only the branch it takes; a mean over no dart raises ValueError naming the dart.

Normals: `face_normal` at a dart is Newell's normal of its face walked (alpha0, then alpha1, ...)
from the smallest dart of the face that has the dart's orientation (an even number of steps away
along the face), so that all those darts share it; `vertex_normal` is the unit mean, in ascending
id order, of the face normals of the vertex's darts of the dart's orientation. A zero vector
normalizes to zero.
"""

from __future__ import annotations

import math
import numbers
from typing import Any, Callable, Dict, List, Optional, Sequence, Tuple

import gorvinpy_bin

from .point import Point
from .positions import DartOf, as_point, offset, orbit_mean, stored_position

# A term of an affine rule: weight, orbit, left node (None: the node the rule is evaluated at).
AffineTerm = Tuple[float, Tuple[int, ...], Optional[int]]

class PointRule:
    """A point computed from the positions around a dart: sum of weight * orbit mean, plus an
    optional offset. Subclasses keep simpler forms (the stored position itself, a constant); the
    rest of the language (`at`, `mean`, `where`, normals, ...) follows below."""

    affine = True

    def __init__(self, terms: Sequence[AffineTerm], shift: Optional[Sequence[float]] = None) -> None:
        if not terms and shift is None:
            raise ValueError("a point rule needs a term or an offset")
        self.terms: Tuple[AffineTerm, ...] = tuple(
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

    def of(self, node: int) -> "PointRule":
        """This rule read at the dart of left node `node` rather than the evaluated node."""
        return PointRule([(w, orbit, node if n is None else n) for w, orbit, n in self.terms], self.shift)

    def at(self, *dims: int) -> "PointRule":
        """This rule at the dart reached by following alpha_dims[0], then alpha_dims[1], ..."""
        return at(self, *dims)

    def __truediv__(self, divisor: object) -> "PointRule":
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

    def __repr__(self) -> str:
        return "position"


class Constant(PointRule):
    """A fixed point, the same tuple for every dart."""

    def __init__(self, point: Sequence[float]) -> None:
        super().__init__([], point)

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        assert self.shift is not None
        return self.shift

    def __repr__(self) -> str:
        return f"Constant({self.shift})"


position = StoredPosition()
edge_midpoint = OrbitMean((0,), "edge_midpoint")
face_centre = OrbitMean((0, 1), "face_centre")
volume_centre = OrbitMean((0, 1, 2), "volume_centre")


NO_DIM = -1


def _dims(values: Sequence[int]) -> Tuple[int, ...]:
    dims = tuple(int(d) for d in values)
    if any(d not in (0, 1, 2, 3) for d in dims):
        raise ValueError(f"dimensions are 0..3, not {list(dims)}")
    return dims


def _optional_dim(value: Optional[int]) -> int:
    return NO_DIM if value is None else _dims([value])[0]


def alpha(gmap: gorvinpy_bin.GMap3D, dart: int, dim: int) -> int:
    """The dart's alpha_dim neighbour (the dart itself when free)."""
    return gmap.alpha(dart, dim).id


def orbit_darts(gmap: gorvinpy_bin.GMap3D, dart: int, orbit: Sequence[int], free: int, linked: int) -> List[int]:
    """The darts of the orbit in ascending id order, filtered by free / linked dimension."""
    darts = sorted(gorvinpy_bin.Orbit(list(orbit))(gmap, dart)) if orbit else [dart]
    if free != NO_DIM:
        darts = [d for d in darts if alpha(gmap, d, free) == d]
    if linked != NO_DIM:
        darts = [d for d in darts if alpha(gmap, d, linked) != d]
    return darts


class Ops:
    """A rule compiled to the flat form the native evaluation reads: ops in evaluation order, each a
    tuple (kind, parameters..., operand op indices...); equal subtrees share one op."""

    def __init__(self) -> None:
        self.ops: List[tuple] = []
        self._index: Dict[Any, int] = {}

    def add(self, key: Any, op: tuple) -> int:
        found = self._index.get(key)
        if found is None:
            found = self._index[key] = len(self.ops)
            self.ops.append(op)
        return found


class Term:
    """A node of the language: evaluate(gmap, dart, dart_of) in Python, emit(ops, node) natively."""

    def evaluate(self, gmap: gorvinpy_bin.GMap3D, dart: int, dart_of: DartOf) -> Any:
        raise NotImplementedError

    def emit(self, ops: Ops, node: int) -> int:
        """Adds this term's ops, evaluated with left node `node` as the current dart; its index."""
        raise NotImplementedError

    def key(self) -> Any:
        """A structural identity: equal keys evaluate alike."""
        raise NotImplementedError


def emit_point(rule: PointRule, ops: Ops, node: int) -> int:
    """The ops of any point rule, affine ones included."""
    if isinstance(rule, Term):
        return rule.emit(ops, node)
    return _emit_affine(rule, ops, node)


def _emit_affine(rule: PointRule, ops: Ops, node: int) -> int:
    if isinstance(rule, StoredPosition):
        return ops.add(("position",), ("position",))
    total: Optional[int] = None
    for weight_value, orbit, term_node in rule.terms:
        term = ops.add(("orbit_mean", orbit), ("orbit_mean", orbit))
        if term_node is not None:
            term = ops.add(("of", term_node, term), ("of", term_node, term))
        scale = ops.add(("number", weight_value), ("number", weight_value))
        term = ops.add(("scale", scale, term), ("scale", scale, term))
        total = term if total is None else ops.add(("add", total, term), ("add", total, term))
    if rule.shift is not None:
        shift = ops.add(("constant", rule.shift), ("constant", rule.shift))
        total = shift if total is None else ops.add(("add", total, shift), ("add", total, shift))
    assert total is not None
    return total


def point_key(rule: PointRule) -> Any:
    if isinstance(rule, Term):
        return rule.key()
    return ("affine", type(rule).__name__, rule.terms, rule.shift)


def evaluate_point(rule: PointRule, gmap: gorvinpy_bin.GMap3D, dart: int, dart_of: DartOf) -> Point:
    if isinstance(rule, Term):
        return rule.evaluate(gmap, dart, dart_of)
    return rule.value(gmap, lambda node: dart if node is None else dart_of(node))


class Derived(Term, PointRule):
    """A point rule of the language (not an affine sum of orbit means)."""

    affine = False

    def __init__(self) -> None:  # noqa: D107 - no terms of an affine rule
        self.terms = ()
        self.shift = None

    def __call__(self, gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
        def fixed(node: Optional[int]) -> int:
            raise TypeError(f"{self!r} reads fixed left nodes: evaluate it inside a rule")

        return as_point(self.evaluate(gmap, dart, fixed))

    def value(self, gmap: gorvinpy_bin.GMap3D, dart_of: DartOf) -> Point:
        """The point as a tuple of floats, as the native evaluation stores it."""
        return as_point(self.evaluate(gmap, dart_of(None), dart_of))

    def of(self, node: int) -> "PointRule":
        return _Of(self, node)

    def __add__(self, other: object) -> "PointRule":
        return _PointPair("add", self, as_point_rule(other))

    def __radd__(self, other: object) -> "PointRule":
        return _PointPair("add", as_point_rule(other), self)

    def __sub__(self, other: object) -> "PointRule":
        return _PointPair("sub", self, as_point_rule(other))

    def __rsub__(self, other: object) -> "PointRule":
        return _PointPair("sub", as_point_rule(other), self)

    def __mul__(self, factor: object) -> "PointRule":
        return _Scaled(as_scalar(factor), self)

    __rmul__ = __mul__

    def __repr__(self) -> str:
        return f"{type(self).__name__.lstrip('_')}{self.key()[1:]!r}"


def as_point_rule(value: object) -> PointRule:
    """A point rule, or a constant point for three numbers."""
    if isinstance(value, PointRule):
        return value
    return Constant(as_point(value))  # type: ignore[arg-type]


def at(rule: PointRule, *dims: int) -> "PointRule":
    """`rule` at the dart reached by following alpha_dims[0], then alpha_dims[1], ..."""
    return _At(rule, _dims(dims))


class _At(Derived):
    def __init__(self, rule: PointRule, dims: Tuple[int, ...]) -> None:
        super().__init__()
        self.rule, self.dims = rule, dims

    def evaluate(self, gmap, dart, dart_of):
        for dim in self.dims:
            dart = alpha(gmap, dart, dim)
        return evaluate_point(self.rule, gmap, dart, dart_of)

    def emit(self, ops, node):
        child = emit_point(self.rule, ops, node)
        return ops.add(("at", self.dims, child), ("at", self.dims, child))

    def key(self):
        return ("at", self.dims, point_key(self.rule))


class _Of(Derived):
    def __init__(self, rule: PointRule, node: int) -> None:
        super().__init__()
        self.rule, self.node = rule, int(node)

    def evaluate(self, gmap, dart, dart_of):
        return evaluate_point(self.rule, gmap, dart_of(self.node), dart_of)

    def emit(self, ops, node):
        child = emit_point(self.rule, ops, self.node)
        return ops.add(("of", self.node, child), ("of", self.node, child))

    def key(self):
        return ("of", self.node, point_key(self.rule))


class _Mean(Derived):
    def __init__(self, rule: PointRule, orbit: Tuple[int, ...], free: int, linked: int) -> None:
        super().__init__()
        self.rule, self.orbit, self.free, self.linked = rule, orbit, free, linked

    def evaluate(self, gmap, dart, dart_of):
        darts = orbit_darts(gmap, dart, self.orbit, self.free, self.linked)
        if not darts:
            raise ValueError(f"mean over no dart of the orbit {list(self.orbit)} of dart {dart}")
        total = [0.0, 0.0, 0.0]
        for d in darts:
            p = evaluate_point(self.rule, gmap, d, dart_of)
            for axis in range(3):
                total[axis] += p[axis]
        count = len(darts)
        return (total[0] / count, total[1] / count, total[2] / count)

    def emit(self, ops, node):
        child = emit_point(self.rule, ops, node)
        op = ("mean", self.orbit, self.free, self.linked, child)
        return ops.add(op, op)

    def key(self):
        return ("mean", self.orbit, self.free, self.linked, point_key(self.rule))


def mean(rule: PointRule, orbit: Sequence[int], free: Optional[int] = None, linked: Optional[int] = None) -> PointRule:
    """The mean of `rule` over the darts of the orbit (ascending ids), only those free along `free`
    and linked along `linked` when given."""
    return _Mean(as_point_rule(rule), _dims(orbit), _optional_dim(free), _optional_dim(linked))


class _PointPair(Derived):
    def __init__(self, kind: str, a: PointRule, b: PointRule) -> None:
        super().__init__()
        self.kind, self.a, self.b = kind, a, b

    def evaluate(self, gmap, dart, dart_of):
        p = evaluate_point(self.a, gmap, dart, dart_of)
        q = evaluate_point(self.b, gmap, dart, dart_of)
        if self.kind == "add":
            return (p[0] + q[0], p[1] + q[1], p[2] + q[2])
        if self.kind == "sub":
            return (p[0] - q[0], p[1] - q[1], p[2] - q[2])
        return _cross(p, q)

    def emit(self, ops, node):
        a, b = emit_point(self.a, ops, node), emit_point(self.b, ops, node)
        return ops.add((self.kind, a, b), (self.kind, a, b))

    def key(self):
        return (self.kind, point_key(self.a), point_key(self.b))


def _cross(p: Sequence[float], q: Sequence[float]) -> Point:
    return (p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0])


def cross(a: PointRule, b: PointRule) -> PointRule:
    """The cross product a x b."""
    return _PointPair("cross", as_point_rule(a), as_point_rule(b))


class _Scaled(Derived):
    def __init__(self, factor: "Scalar", rule: PointRule) -> None:
        super().__init__()
        self.factor, self.rule = factor, rule

    def evaluate(self, gmap, dart, dart_of):
        k = self.factor.evaluate(gmap, dart, dart_of)
        p = evaluate_point(self.rule, gmap, dart, dart_of)
        return (k * p[0], k * p[1], k * p[2])

    def emit(self, ops, node):
        k, p = self.factor.emit(ops, node), emit_point(self.rule, ops, node)
        return ops.add(("scale", k, p), ("scale", k, p))

    def key(self):
        return ("scale", self.factor.key(), point_key(self.rule))


class _Quotient(Derived):
    def __init__(self, rule: PointRule, divisor: "Scalar") -> None:
        super().__init__()
        self.rule, self.divisor = rule, divisor

    def evaluate(self, gmap, dart, dart_of):
        p = evaluate_point(self.rule, gmap, dart, dart_of)
        k = self.divisor.evaluate(gmap, dart, dart_of)
        return (p[0] / k, p[1] / k, p[2] / k)

    def emit(self, ops, node):
        p, k = emit_point(self.rule, ops, node), self.divisor.emit(ops, node)
        return ops.add(("quotient", p, k), ("quotient", p, k))

    def key(self):
        return ("quotient", point_key(self.rule), self.divisor.key())


def _normalized(p: Sequence[float]) -> Point:
    length = math.sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2])
    if length == 0.0:
        return (0.0, 0.0, 0.0)
    return (p[0] / length, p[1] / length, p[2] / length)


class _Normalized(Derived):
    def __init__(self, rule: PointRule) -> None:
        super().__init__()
        self.rule = rule

    def evaluate(self, gmap, dart, dart_of):
        return _normalized(evaluate_point(self.rule, gmap, dart, dart_of))

    def emit(self, ops, node):
        p = emit_point(self.rule, ops, node)
        return ops.add(("normalized", p), ("normalized", p))

    def key(self):
        return ("normalized", point_key(self.rule))


def quotient(rule: PointRule, divisor: "Scalar") -> PointRule:
    """rule / divisor, each coordinate divided."""
    return _Quotient(rule, divisor)


def normalized(rule: PointRule) -> PointRule:
    """The unit vector along `rule` (zero for zero)."""
    return _Normalized(as_point_rule(rule))


class _Where(Derived):
    def __init__(self, condition: "Condition", a: PointRule, b: PointRule) -> None:
        super().__init__()
        self.condition, self.a, self.b = condition, a, b

    def evaluate(self, gmap, dart, dart_of):
        chosen = self.a if self.condition.evaluate(gmap, dart, dart_of) else self.b
        return evaluate_point(chosen, gmap, dart, dart_of)

    def emit(self, ops, node):
        c = self.condition.emit(ops, node)
        a, b = emit_point(self.a, ops, node), emit_point(self.b, ops, node)
        return ops.add(("where", c, a, b), ("where", c, a, b))

    def key(self):
        return ("where", self.condition.key(), point_key(self.a), point_key(self.b))


def where(condition: "Condition", a: object, b: object) -> Any:
    """`a` where the condition holds, else `b` (points or numbers, both alike)."""
    if not isinstance(condition, Condition):
        raise TypeError(f"where needs a condition (is_free, ...), not {type(condition).__name__}")
    if isinstance(a, (Scalar, numbers.Real)) and isinstance(b, (Scalar, numbers.Real)):
        return _ScalarWhere(condition, as_scalar(a), as_scalar(b))
    return _Where(condition, as_point_rule(a), as_point_rule(b))


def even_darts(gmap: gorvinpy_bin.GMap3D, dart: int, dims: Tuple[int, int]) -> List[int]:
    """The darts of the orbit <dims> an even number of steps from `dart` (its orientation), in
    ascending id order."""
    parity = {dart: 0}
    stack = [dart]
    while stack:
        d = stack.pop()
        for dim in dims:
            n = alpha(gmap, d, dim)
            if n not in parity:
                parity[n] = parity[d] ^ 1
                stack.append(n)
    return sorted(d for d, p in parity.items() if p == 0)


def face_corners(gmap: gorvinpy_bin.GMap3D, start: int) -> List[int]:
    """The corner darts of the face from `start`, alpha0 then alpha1 each step, up to a free link
    or back at start."""
    corners = [start]
    d = start
    while True:
        edge_end = alpha(gmap, d, 0)
        nxt = alpha(gmap, edge_end, 1)
        if edge_end == d or nxt == edge_end or nxt == start:
            return corners
        corners.append(nxt)
        d = nxt


def newell_normal(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """Unit Newell normal of the face of `dart`, walked from the smallest dart of its orientation."""
    start = even_darts(gmap, dart, (0, 1))[0]
    corners = [as_point(stored_position(gmap, d)) for d in face_corners(gmap, start)]
    n = [0.0, 0.0, 0.0]
    for i, p in enumerate(corners):
        q = corners[(i + 1) % len(corners)]
        n[0] += (p[1] - q[1]) * (p[2] + q[2])
        n[1] += (p[2] - q[2]) * (p[0] + q[0])
        n[2] += (p[0] - q[0]) * (p[1] + q[1])
    return _normalized(n)


def vertex_normal_at(gmap: gorvinpy_bin.GMap3D, dart: int) -> Point:
    """Unit mean of the face normals of the vertex's darts of `dart`'s orientation."""
    darts = even_darts(gmap, dart, (1, 2))
    total = [0.0, 0.0, 0.0]
    for d in darts:
        n = newell_normal(gmap, d)
        for axis in range(3):
            total[axis] += n[axis]
    count = len(darts)
    return _normalized((total[0] / count, total[1] / count, total[2] / count))


class _Normal(Derived):
    def __init__(self, kind: str, function: Callable[[gorvinpy_bin.GMap3D, int], Point]) -> None:
        super().__init__()
        self.kind, self.function = kind, function

    def evaluate(self, gmap, dart, dart_of):
        return self.function(gmap, dart)

    def emit(self, ops, node):
        return ops.add((self.kind,), (self.kind,))

    def key(self):
        return (self.kind,)

    def __repr__(self):
        return self.kind


face_normal = _Normal("face_normal", newell_normal)
vertex_normal = _Normal("vertex_normal", vertex_normal_at)


class Scalar(Term):
    """A number read around a dart."""

    def __add__(self, other: object) -> "Scalar":
        return _ScalarPair("add", self, as_scalar(other))

    def __radd__(self, other: object) -> "Scalar":
        return _ScalarPair("add", as_scalar(other), self)

    def __sub__(self, other: object) -> "Scalar":
        return _ScalarPair("sub", self, as_scalar(other))

    def __rsub__(self, other: object) -> "Scalar":
        return _ScalarPair("sub", as_scalar(other), self)

    def __mul__(self, other: object) -> Any:
        if isinstance(other, PointRule):
            return _Scaled(self, other)
        return _ScalarPair("mul", self, as_scalar(other))

    def __rmul__(self, other: object) -> Any:
        if isinstance(other, PointRule):
            return _Scaled(self, other)
        return _ScalarPair("mul", as_scalar(other), self)

    def __truediv__(self, other: object) -> "Scalar":
        return _ScalarPair("div", self, as_scalar(other))

    def __rtruediv__(self, other: object) -> "Scalar":
        return _ScalarPair("div", as_scalar(other), self)

    def __neg__(self) -> "Scalar":
        return _ScalarPair("sub", Number(0.0), self)

    def __repr__(self) -> str:
        return f"{type(self).__name__.lstrip('_')}{self.key()[1:]!r}"


def as_scalar(value: object) -> Scalar:
    if isinstance(value, Scalar):
        return value
    if isinstance(value, numbers.Real):
        return Number(float(value))
    raise TypeError(f"a number or a scalar rule, not {type(value).__name__}")


class Number(Scalar):
    def __init__(self, value: float) -> None:
        self.value = float(value)

    def evaluate(self, gmap, dart, dart_of):
        return self.value

    def emit(self, ops, node):
        return ops.add(("number", self.value), ("number", self.value))

    def key(self):
        return ("number", self.value)


class _ScalarPair(Scalar):
    def __init__(self, kind: str, a: Scalar, b: Scalar) -> None:
        self.kind, self.a, self.b = kind, a, b

    def evaluate(self, gmap, dart, dart_of):
        x = self.a.evaluate(gmap, dart, dart_of)
        y = self.b.evaluate(gmap, dart, dart_of)
        if self.kind == "add":
            return x + y
        if self.kind == "sub":
            return x - y
        if self.kind == "mul":
            return x * y
        return x / y

    def emit(self, ops, node):
        a, b = self.a.emit(ops, node), self.b.emit(ops, node)
        op = ("s" + self.kind, a, b)
        return ops.add(op, op)

    def key(self):
        return (self.kind, self.a.key(), self.b.key())


class _OrbitSize(Scalar):
    def __init__(self, orbit: Tuple[int, ...], free: int, linked: int) -> None:
        self.orbit, self.free, self.linked = orbit, free, linked

    def evaluate(self, gmap, dart, dart_of):
        return float(len(orbit_darts(gmap, dart, self.orbit, self.free, self.linked)))

    def emit(self, ops, node):
        op = ("orbit_size", self.orbit, self.free, self.linked)
        return ops.add(op, op)

    def key(self):
        return ("orbit_size", self.orbit, self.free, self.linked)


def orbit_size(orbit: Sequence[int], free: Optional[int] = None, linked: Optional[int] = None) -> Scalar:
    """The number of darts of the orbit (only those free / linked along a dimension when given)."""
    return _OrbitSize(_dims(orbit), _optional_dim(free), _optional_dim(linked))


class _Weight(Scalar):
    def __init__(self, function: Callable[[int], float], orbit: Tuple[int, ...]) -> None:
        self.function, self.orbit = function, orbit

    def evaluate(self, gmap, dart, dart_of):
        return float(self.function(len(orbit_darts(gmap, dart, self.orbit, NO_DIM, NO_DIM))))

    def emit(self, ops, node):
        return ops.add(self.key(), ("weight", self.function, self.orbit))

    def key(self):
        return ("weight", id(self.function), self.orbit)

    def __repr__(self) -> str:
        return f"weight({getattr(self.function, '__name__', self.function)}, {self.orbit})"


def weight(function: Callable[[int], float], orbit: Sequence[int]) -> Scalar:
    """function(number of darts of the orbit), as a float; called once per distinct size natively."""
    if not callable(function):
        raise TypeError(f"weight needs a function of the orbit size, not {type(function).__name__}")
    return _Weight(function, _dims(orbit))


class _ScalarWhere(Scalar):
    def __init__(self, condition: "Condition", a: Scalar, b: Scalar) -> None:
        self.condition, self.a, self.b = condition, a, b

    def evaluate(self, gmap, dart, dart_of):
        chosen = self.a if self.condition.evaluate(gmap, dart, dart_of) else self.b
        return chosen.evaluate(gmap, dart, dart_of)

    def emit(self, ops, node):
        c, a, b = self.condition.emit(ops, node), self.a.emit(ops, node), self.b.emit(ops, node)
        return ops.add(("swhere", c, a, b), ("swhere", c, a, b))

    def key(self):
        return ("swhere", self.condition.key(), self.a.key(), self.b.key())


class _Dot(Scalar):
    def __init__(self, a: PointRule, b: PointRule) -> None:
        self.a, self.b = a, b

    def evaluate(self, gmap, dart, dart_of):
        p = evaluate_point(self.a, gmap, dart, dart_of)
        q = evaluate_point(self.b, gmap, dart, dart_of)
        return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]

    def emit(self, ops, node):
        a, b = emit_point(self.a, ops, node), emit_point(self.b, ops, node)
        return ops.add(("dot", a, b), ("dot", a, b))

    def key(self):
        return ("dot", point_key(self.a), point_key(self.b))


def dot(a: PointRule, b: PointRule) -> Scalar:
    """The dot product of two points."""
    return _Dot(as_point_rule(a), as_point_rule(b))


class Condition(Term):
    """A truth value read around a dart."""

    def __repr__(self) -> str:
        return f"{type(self).__name__.lstrip('_')}{self.key()[1:]!r}"


class _IsFree(Condition):
    def __init__(self, dim: int, orbit: Tuple[int, ...]) -> None:
        self.dim, self.orbit = dim, orbit

    def evaluate(self, gmap, dart, dart_of):
        darts = orbit_darts(gmap, dart, self.orbit, NO_DIM, NO_DIM)
        return any(alpha(gmap, d, self.dim) == d for d in darts)

    def emit(self, ops, node):
        return ops.add(self.key(), ("is_free", self.dim, self.orbit))

    def key(self):
        return ("is_free", self.dim, self.orbit)


def is_free(dim: int, orbit: Sequence[int] = ()) -> Condition:
    """Some dart of the orbit (the dart itself for ()) is free along dim."""
    return _IsFree(_dims([dim])[0], _dims(orbit))


def compile_ops(rule: PointRule, node: int) -> List[tuple]:
    """The flat ops of `rule` evaluated at left node `node`; the last op is the result."""
    ops = Ops()
    root = emit_point(rule, ops, node)
    assert root == len(ops.ops) - 1
    return ops.ops
