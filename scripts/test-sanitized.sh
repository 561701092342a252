#!/usr/bin/env bash
# Builds the extension with AddressSanitizer and UBSan and runs the whole test suite against it.
# The interpreter is not instrumented: the runtime is preloaded and PYTHONMALLOC=malloc lets the
# sanitizer see the interpreter's allocations. Leak detection is off (the interpreter leaks at
# exit by design); leaks are checked by the tests themselves.
set -eu
cd "$(dirname "$0")/.."
python=.venv/bin/python
export PATH="$PWD/.venv/bin:$PATH"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGORVIN_SANITIZE=ON \
  -DPython_EXECUTABLE="$PWD/$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" >/dev/null
cmake --build build/sanitize -j2
export LD_PRELOAD="$(gcc -print-file-name=libasan.so)"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export PYTHONMALLOC=malloc
PYTHONPATH="$PWD/build/sanitize" "$python" -m pytest -q -p no:cacheprovider "$@"
