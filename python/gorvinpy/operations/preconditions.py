"""What a rule needs of the place it is applied at, checked by `gorvinpy.apply` before any change.

A precondition is a function of (gmap, hook darts) that raises `RuleInputError` naming the dart that
does not fit (a face that is no triangle, a boundary edge, ...). Rules keep theirs here, for as long
as the rule object lives.
"""

from __future__ import annotations

import weakref
from typing import Callable, Sequence

import gorvinpy_bin

from ..errors import GorvinError

Precondition = Callable[[gorvinpy_bin.GMap3D, Sequence[int]], None]

_preconditions: "weakref.WeakKeyDictionary[gorvinpy_bin.Rule3D, Precondition]" = weakref.WeakKeyDictionary()


class RuleInputError(GorvinError, ValueError):
    """A rule is applied where it does not fit: the message names the dart and what it lacks."""


def set_precondition(rule: gorvinpy_bin.Rule3D, precondition: Precondition) -> None:
    """Gives the rule a precondition, replacing any it had."""
    _preconditions[rule] = precondition


def check_input(gmap: gorvinpy_bin.GMap3D, rule: gorvinpy_bin.Rule3D, hooks: Sequence[int]) -> None:
    """Raises RuleInputError when the rule's precondition refuses the place given by hooks."""
    precondition = _preconditions.get(rule)
    if precondition is not None:
        precondition(gmap, hooks)
