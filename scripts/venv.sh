#!/usr/bin/env bash
# Makes .venv with CPython 3.10 and installs the package with the optional dependencies named by
# the first argument (default: test).
set -eu
cd "$(dirname "$0")/.."
if [ ! -x .venv/bin/python ]; then
  python=$(scripts/python310.sh)
  "$python" -m venv .venv
fi
.venv/bin/python -m pip install --quiet --upgrade pip
.venv/bin/python -m pip install --quiet ".[${1:-test}]"
