"""The package's operations by name, applied to every connected part of a G-map.

An operation is a public function of the operation modules annotated to return a `Rule3D`, so that
operations added to them are found without a list to keep. `Operation("triangulate")`, or
`Operation.parse("extrude((0, 0, 1))")` from text, names one with its arguments: it pickles as that
recipe (rules hold Python callables and do not pickle) and builds its rule where it runs, so it can
be sent to other processes and Dask workers.
"""

from __future__ import annotations

import ast
import inspect
import typing
from typing import Any, Callable, Dict, Optional

import numpy as np

import gorvinpy_bin

from .. import _native
from ..errors import GorvinError
from ..progress import LONG_WORK_DARTS, tracked, wanted
from . import builder, cells, chamfers, subdivision, surface, volumes
from .batch import apply

_CONNECTED_PART = [0, 1, 2, 3]
_OPERATION_MODULES = (builder, surface, cells, subdivision, chamfers, volumes)


class OperationError(GorvinError, ValueError):
    """An operation that is not known, cannot be built from its arguments, or cannot be applied here."""


def known_operations() -> Dict[str, Callable[..., gorvinpy_bin.Rule3D]]:
    """Every public function of the operation modules annotated to return a Rule3D, by name."""
    found: Dict[str, Callable[..., gorvinpy_bin.Rule3D]] = {}
    for module in _OPERATION_MODULES:
        for name, value in vars(module).items():
            if name.startswith("_") or not inspect.isfunction(value) or value.__module__ != module.__name__:
                continue
            if _returns_rule(value):
                found[name] = value
    return dict(sorted(found.items()))


def describe(name: str, factory: Callable[..., Any]) -> str:
    """One line: the call with its parameters, and the first line of the function's description."""
    summary = (inspect.getdoc(factory) or "").split("\n", 1)[0]
    parameters = [
        parameter.name if parameter.default is inspect.Parameter.empty else f"{parameter.name}={parameter.default!r}"
        for parameter in inspect.signature(factory).parameters.values()
    ]
    return f"{name}({', '.join(parameters)}): {summary}"


class Operation:
    """A named operation of the package with its arguments; calling it applies it to a G-map."""

    def __init__(self, name: str, *args: Any, **kwargs: Any) -> None:
        factories = known_operations()
        if name not in factories:
            raise OperationError(f"unknown operation {name!r} (known: {', '.join(factories)})")
        self.name, self.args, self.kwargs = name, args, kwargs
        self._factory = factories[name]
        self._rule: Optional[gorvinpy_bin.Rule3D] = None

    @classmethod
    def parse(cls, text: str) -> "Operation":
        """An operation from `name` or `name(arguments)`, the arguments Python literals."""
        try:
            call = ast.parse(text.strip(), mode="eval").body
            if isinstance(call, ast.Name):
                return cls(call.id)
            if not (isinstance(call, ast.Call) and isinstance(call.func, ast.Name)):
                raise ValueError("not a name or a call")
            args = [ast.literal_eval(arg) for arg in call.args]
            kwargs = {keyword.arg: ast.literal_eval(keyword.value) for keyword in call.keywords if keyword.arg}
        except (SyntaxError, ValueError) as error:
            raise OperationError(f"{text!r} is not an operation name or a call with literal arguments ({error})") \
                from None
        return cls(call.func.id, *args, **kwargs)

    def rule(self) -> gorvinpy_bin.Rule3D:
        """The compiled rule, built on first use in each process."""
        if self._rule is None:
            try:
                self._rule = self._factory(*self.args, **self.kwargs)
            except (TypeError, ValueError) as error:
                raise OperationError(f"operation {self} cannot be built ({error}); it is "
                                     f"{describe(self.name, self._factory)}") from None
        return self._rule

    def __call__(self, gmap: gorvinpy_bin.GMap3D, progress: Optional[bool] = None) -> gorvinpy_bin.GMap3D:
        """Applies the operation to every connected part of gmap (see apply_to_parts); returns gmap."""
        apply_to_parts(gmap, self.rule(), progress=progress)
        return gmap

    def __reduce__(self):
        return _operation, (self.name, self.args, self.kwargs)

    def __repr__(self) -> str:
        words = [repr(arg) for arg in self.args] + [f"{key}={value!r}" for key, value in self.kwargs.items()]
        return f"{self.name}({', '.join(words)})"


def apply_to_parts(gmap: gorvinpy_bin.GMap3D, rule: gorvinpy_bin.Rule3D, progress: Optional[bool] = None) -> int:
    """Applies a rule with `gorvinpy.apply` and returns the number of applications.

    A rule without hook node builds from nothing and is applied once; a rule with one hook node is
    applied at the smallest dart of each connected part, part after part. Rules with more hook
    nodes raise OperationError: their darts cannot be chosen for the caller. A bar shows the
    parts of G-maps over 10^7 darts (see progress.py).
    """
    hooks = rule.countHooks
    if hooks == 0:
        apply(gmap, rule)
        return 1
    if hooks > 1:
        raise OperationError(f"rule {rule.name!r} takes {hooks} hook darts; apply it with gorvinpy.apply(gmap, "
                             "rule, hooks) at darts of your choice")
    live = _native.live_mask(gmap)
    starts = np.unique(np.asarray(_native.cell_labels(gmap, _CONNECTED_PART))[live]).tolist()
    shown = wanted(progress, len(gmap) > LONG_WORK_DARTS)
    for start in tracked(starts, len(starts), rule.name, shown):
        apply(gmap, rule, [start])
    return len(starts)


def _operation(name: str, args: tuple, kwargs: dict) -> Operation:
    return Operation(name, *args, **kwargs)


def _returns_rule(function: Callable[..., Any]) -> bool:
    try:
        return typing.get_type_hints(function).get("return") is gorvinpy_bin.Rule3D
    except Exception:  # annotations that do not resolve name no rule
        return False
