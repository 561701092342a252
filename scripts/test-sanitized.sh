#!/usr/bin/env bash
# Builds the extension with AddressSanitizer and UBSan and runs the whole test suite against it.
# The interpreter is not instrumented: the runtime is preloaded and PYTHONMALLOC=malloc lets the
# sanitizer see the interpreter's allocations. Leak detection is off (the interpreter leaks at
# exit by design); leaks are checked by the tests themselves. The elephant's cases and most
# random rules are left to the plain run (tests/conftest.py): their time goes to plain-Python code.
set -eu
cd "$(dirname "$0")/.."
python=.venv/bin/python
export PATH="$PWD/.venv/bin:$PATH"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGORVIN_SANITIZE=ON ${CMAKE_ARGS:-} \
  -DPython_EXECUTABLE="$PWD/$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" >/dev/null
cmake --build build/sanitize -j2
# The kernel tests carry the sanitizers themselves and need no preloading.
ctest --test-dir build/sanitize --output-on-failure
# libstdc++ is preloaded too, or the sanitizer runtime cannot intercept C++ throws.
export LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so)"
# Reports go to files, since pytest captures the standard error of the process they abort; any
# report fails the run.
reports="$PWD/build/sanitize/reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1"
export GORVIN_UBSAN_REPORTS="$reports/ubsan" # set by tests/conftest.py
export PYTHONMALLOC=malloc
status=0
PYTHONPATH="$PWD/build/sanitize" "$python" -m pytest -q -p no:cacheprovider "$@" || status=$?
if [ -n "$(ls -A "$reports")" ]; then
  cat "$reports"/*
  echo "sanitizer reports: $(ls "$reports" | wc -l)" >&2
  exit 1
fi
exit "$status"
