"""Instances made by __new__ alone, never initialised: every member of every class refuses them with
TypeError, and nothing crashes or hangs. Each class is used in a child process of its own, so that
a crash fails its own case and names the member."""
import subprocess
import sys
from pathlib import Path

import pytest

import gorvinpy_bin as gorvin

CHILD = Path(__file__).with_name("uninitialised_child.py")
CLASSES = [name for name, value in vars(gorvin).items() if isinstance(value, type)]


def test_every_class_of_the_module_is_covered():
    assert len(CLASSES) == 51


@pytest.mark.parametrize("class_name", CLASSES)
def test_every_member_refuses_an_uninitialised_instance(class_name):
    run = subprocess.run([sys.executable, str(CHILD), class_name], capture_output=True, text=True,
                         timeout=300)
    lines = run.stdout.splitlines()
    assert run.returncode == 0, f"{lines[-1:]} ended with {run.returncode}: {run.stderr[-2000:]}"
    uses = [(use.split(" ", 1)[1], outcome) for use, outcome in zip(lines[::2], lines[1::2])]
    assert len(uses) * 2 == len(lines) and uses
    assert [use for use in uses if use[1] != "raised TypeError"] == []
