#!/usr/bin/env bash
# Installs what the batch benchmark needs and runs it: Debian's libcgal-demo (its data archive holds
# the public mesh; apt-get, so it needs root when the package is missing) and the package in .venv.
set -eu
cd "$(dirname "$0")/.."
if ! dpkg -s libcgal-demo >/dev/null 2>&1; then
  apt-get update -qq && apt-get install -y -qq libcgal-demo >/dev/null
fi
bash scripts/venv.sh
cd bench && ../.venv/bin/python batch_operations.py "$@"
