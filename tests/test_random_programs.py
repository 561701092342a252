"""Random programs over the whole module, checked call by call against the plain models.
GORVIN_RANDOM_ROUNDS=n runs n times as many programs (the fixed seeds first)."""
import os

import pytest

pytest.importorskip("gorvin_testing")
from random_programs import Program  # noqa: E402

ROUNDS = int(os.environ.get("GORVIN_RANDOM_ROUNDS", "1"))
PROGRAMS = 24
STEPS = 300


@pytest.mark.parametrize("seed", range(PROGRAMS * ROUNDS))
def test_random_program(seed, capfd):
    assert Program(seed, capfd).run(STEPS) >= STEPS
