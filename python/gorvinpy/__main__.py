"""`python -m gorvinpy`: the command line of cli.py."""

from .cli import run

run()
