#!/usr/bin/env bash
# Builds gorvin_testing, the module through which tests reach kernel internals, and the C++ kernel
# tests (run by ctest) into build/test-support (never installed). Extra CMake options come from
# $CMAKE_ARGS, as for the package build.
set -eu
cd "$(dirname "$0")/.."
python=.venv/bin/python
export PATH="$PWD/.venv/bin:$PATH"
cmake -S . -B build/test-support -G Ninja -DCMAKE_BUILD_TYPE=Release ${CMAKE_ARGS:-} \
  -DPython_EXECUTABLE="$PWD/$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" >/dev/null
cmake --build build/test-support -j2 --target gorvin_testing gorvin_kernel_tests
