#!/usr/bin/env bash
# Installs what the benchmarks need and runs them: the peer library from Debian (apt-get, so it
# needs root when the package is missing), the build tools into .venv, then bench/run.py with
# the arguments given.
set -eu
cd "$(dirname "$0")/.."
if ! dpkg -s libcgal-dev >/dev/null 2>&1; then
  apt-get update -qq && apt-get install -y -qq libcgal-dev >/dev/null
fi
bash scripts/venv.sh
PATH="$PWD/.venv/bin:$PATH" .venv/bin/python bench/run.py "$@"
