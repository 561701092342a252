"""Rule applications whose expressions are evaluated once for all rows.

`apply(gmap, rule, hooks)` applies a rule like `gmap.apply(rule, hooks)`: same rows, same new dart
ids, same links, same stored values, and nothing changed when an evaluation raises. The difference
is how expressions are evaluated. An expression callable made by `expression(point_rule)` runs
natively, with no Python call per row; a `BatchExpression` is called once with every row as NumPy
arrays; any other callable is called once per row with a `Context3D`, as `gmap.apply` calls it.
Both expression kinds stay ordinary callables of a `Context3D`, so rules that use them work with
`gmap.apply` too and give the same G-map.

A batch expression of your own::

    def lifted(rows):                     # rows: a Rows, one entry per row of the application
        centre = rows.orbit_means((0, 1))  # (rows, 3): the face centre of each row's hook dart
        return centre + [0.0, 0.0, 1.0]    # (rows, 3): stored as a tuple of three floats per dart

    Expr3DEbd123("position", BatchExpression(lifted))
"""

from __future__ import annotations

from typing import Any, Callable, Mapping, Sequence, Union

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.point_rules import PointRule, compile_ops
from ..geometry.positions import POSITION_NAME
from .preconditions import check_input

Hooks = Union[Sequence[int], Mapping[str, int]]


def apply(gmap: gorvinpy_bin.GMap3D, rule: gorvinpy_bin.Rule3D, hooks: Hooks = ()) -> None:
    """Applies a compiled rule at hooks (a dart per hook node, or left-node names to darts),
    evaluating every expression once for all rows. The G-map is the one gmap.apply gives; the new
    darts' dicts of a node with one expression per slot are made when first read. A rule made with
    a precondition (`gorvinpy.rule(..., precondition=...)`) has it checked first: `RuleInputError`
    names the dart that does not fit, and nothing changes."""
    if isinstance(hooks, Mapping):
        hooks = _hook_list(rule, hooks)
    darts = [int(dart) for dart in hooks]
    check_input(gmap, rule, darts)
    _native.apply_batch(gmap, rule, darts)


def _hook_list(rule: gorvinpy_bin.Rule3D, names: Mapping[str, int]) -> list:
    darts = [0xFFFFFFFF] * len(rule.hooks)
    for name, dart in names.items():
        column = _native.hook_column(rule, str(name))
        if column is None:
            raise KeyError(f"{name!r} names no hook node of rule {rule.name!r}")
        darts[column] = int(dart)
    return darts


class Expression:
    """A point rule evaluated at the dart of one left node: a per-row expression callable that
    also carries its native program."""

    def __init__(self, rule: PointRule, node: int = 0) -> None:
        self.rule = rule
        self.node = node
        ops = compile_ops(rule, node)
        self.batch_program = _native.PointProgram(ops, f"ops:{node}:{ops!r}", node)

    def __call__(self, context: gorvinpy_bin.Context3D) -> Any:
        pattern = context.leftpattern
        return self.rule.value(
            context.gmap, lambda node: pattern[self.node if node is None else node].id
        )

    def __repr__(self) -> str:
        return f"Expression({self.rule!r}, node={self.node})"


def expression(rule: PointRule, node: int = 0) -> Expression:
    """The expression callable computing `rule` at the dart of left node `node` (0: the hook)."""
    return Expression(rule, node)


def position_expression(rule: PointRule, node: int = 0) -> gorvinpy_bin.Expression3D:
    """An Expr3DEbd123 storing `rule` under "position"."""
    return gorvinpy_bin.Expr3DEbd123(POSITION_NAME, Expression(rule, node))


class Rows:
    """The rows of one application as one right node sees them, before any change: `left` is a
    (count, left nodes) array of the darts each row matched, `right` the node's dart in each row."""

    def __init__(self, gmap: gorvinpy_bin.GMap3D, left: np.ndarray, right: np.ndarray) -> None:
        self.gmap = gmap
        self.left = left
        self.right = right

    @property
    def count(self) -> int:
        return len(self.right)

    def darts(self, node: int = 0) -> np.ndarray:
        """The dart of left node `node` in every row."""
        return self.left[:, node]

    def positions(self, node: int = 0) -> np.ndarray:
        """(count, 3): the position of each row's dart of left node `node`."""
        return _native.positions(self.gmap, self.darts(node))

    def orbit_means(self, orbit: Sequence[int], node: int = 0) -> np.ndarray:
        """(count, 3): the mean position over `orbit` of each row's dart of left node `node`,
        each cell summed once."""
        return _native.orbit_means(self.gmap, self.darts(node), list(orbit))

    def cell_labels(self, orbit: Sequence[int], node: int = 0) -> np.ndarray:
        """The cell of each row's dart of left node `node`: the smallest id of its orbit."""
        return _native.cell_labels(self.gmap, list(orbit))[self.darts(node)]


class BatchExpression:
    """An expression computed for all rows by one call of `function(rows: Rows)`, which returns
    one value per row: a (count, k) array gives a tuple of k floats per row, a 1-d array its items
    as Python numbers, a list its items. Called with a Context3D (by `gmap.apply`), it computes the
    one row of that context the same way."""

    def __init__(self, function: Callable[[Rows], Any]) -> None:
        self.function = function

    def batch(self, gmap: gorvinpy_bin.GMap3D, left: np.ndarray, right: np.ndarray) -> Any:
        return self.function(Rows(gmap, left, right))

    def __call__(self, context: gorvinpy_bin.Context3D) -> Any:
        left = np.array([[dart.id for dart in context.leftpattern]], dtype=np.uint32).reshape(1, -1)
        right = np.array([context.rightdart.id], dtype=np.uint32)
        result = self.batch(context.gmap, left, right)
        if isinstance(result, np.ndarray):
            if result.ndim == 2:
                return tuple(float(x) for x in np.asarray(result[0], dtype=np.float64))
            return result.tolist()[0]
        return result[0]

    def __repr__(self) -> str:
        return f"BatchExpression({getattr(self.function, '__name__', self.function)!r})"
