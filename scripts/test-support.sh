#!/usr/bin/env bash
# Builds gorvin_testing, the module through which tests reach kernel internals, into
# build/test-support (never installed).
set -eu
cd "$(dirname "$0")/.."
python=.venv/bin/python
export PATH="$PWD/.venv/bin:$PATH"
cmake -S . -B build/test-support -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DPython_EXECUTABLE="$PWD/$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" >/dev/null
cmake --build build/test-support --target gorvin_testing
