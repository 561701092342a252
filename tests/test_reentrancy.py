"""Finalizers that run in the middle of a call and change the G-map that call is working on.

A finalizer runs whenever the collector runs or a last reference goes, which can be inside any
allocation the module makes or any value it releases. Each case arms a trap that fires after a
number of collections, for every number up to the call's length, and then checks that the dart
table and the embedding table still agree and can be read whole."""
import gc
from contextlib import contextmanager

import pytest

import gorvinpy_bin as gorvin
from engine_rules import make_rule, square_grid, triangulation

testing = pytest.importorskip("gorvin_testing")


class Trap:
    """Cyclic garbage: its finalizer re-arms itself `skip` times, then runs `action` once."""

    def __init__(self, skip, action):
        self.cycle, self.skip, self.action = self, skip, action

    def __del__(self):
        if self.skip:
            Trap(self.skip - 1, self.action)
        else:
            self.action()


class Bomb:
    """A value whose finalizer runs `action` when the dict holding it is released."""

    def __init__(self, action):
        self.action = action

    def __del__(self):
        self.action()


@contextmanager
def collecting_on_every_allocation():
    threshold = gc.get_threshold()
    gc.collect(0)
    gc.set_threshold(1, 10**6, 10**6)  # young collections only: the trap is young
    try:
        yield
    finally:
        gc.set_threshold(*threshold)
        gc.collect(0)


def assert_tables_agree(gmap):
    assert testing.tables_agree(gmap)
    rows = testing.dart_table(gmap)
    assert len(rows) == len(gmap)
    for i in range(len(gmap)):
        assert type(gmap.ebd0123(i)) is dict


ACTIONS = {
    "clear": lambda gmap: gmap.clear(),
    "shrink": lambda gmap: gmap.resize(3),
    "grow": lambda gmap: gmap.make_darts(5),
    "delete": lambda gmap: len(gmap) and gmap[0].delete(),
}

CALLS = {
    "toDarts": lambda gmap: gmap.toDarts(),
    "iterate": lambda gmap: list(gmap),
    "make_darts": lambda gmap: gmap.make_darts(6),
    "resize": lambda gmap: gmap.resize(len(gmap) + 9),
    "read lazy values": lambda gmap: [gmap.ebd12(i) for i in range(len(gmap))],
    "write values": lambda gmap: [gmap[i].set(gorvin.Ebd("v", [0]), i) for i in range(len(gmap))],
    "extraction": lambda gmap: gmap.extractGeometryCompacted3D(),
    "islet": lambda gmap: gorvin.Islet([0, 1])(gmap),
    "apply": lambda gmap: gmap.apply(triangulation([gorvin.Expr3DEbd01("n", lambda ctx: [ctx.rightdart.id])]), [0]),
}


@pytest.mark.parametrize("action", ACTIONS)
@pytest.mark.parametrize("call", CALLS)
def test_a_collection_inside_a_call(modeler, call, action):
    for skip in range(24):
        gmap = modeler.make_gmap()
        square_grid(gmap, 2)
        with collecting_on_every_allocation():
            Trap(skip, lambda: ACTIONS[action](gmap))
            try:
                CALLS[call](gmap)
            except RuntimeError:
                pass  # the G-map went away under the call
        assert_tables_agree(gmap)


RELEASES = {
    "clear": lambda gmap: gmap.clear(),
    "resize": lambda gmap: gmap.resize(2),
    "apply replacing values": lambda gmap: gmap.apply(
        make_rule(left=[("a", [0, 1], True)], right=[("a", [0, 1], [gorvin.Expr3DEbd01("n", lambda ctx: 0)])]), [0]
    ),
}


@pytest.mark.parametrize("action", ACTIONS)
@pytest.mark.parametrize("release", RELEASES)
def test_a_released_value_whose_finalizer_changes_the_gmap(gmap, release, action):
    square_grid(gmap, 2)
    for i in range(len(gmap)):
        gmap.ebd01(i)["bomb"] = Bomb(lambda: ACTIONS[action](gmap))
    RELEASES[release](gmap)
    assert_tables_agree(gmap)
