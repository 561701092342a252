#!/usr/bin/env bash
# Installs what the batch benchmark needs and runs it: the public mesh (scripts/mesh-data.sh) and
# the package in .venv.
set -eu
cd "$(dirname "$0")/.."
bash scripts/mesh-data.sh
bash scripts/venv.sh
cd bench && ../.venv/bin/python batch_operations.py "$@"
