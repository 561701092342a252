#!/usr/bin/env bash
# Makes .venv with CPython 3.10 and installs the package with the optional dependencies named by
# the first argument (default: test,render,interop). The build runs without isolation against build tools
# kept in .venv, so that reinstalling after a change rebuilds only what changed. Needs no root and
# no Debian packages.
set -eu
cd "$(dirname "$0")/.."
if [ ! -x .venv/bin/python ]; then
  python=$(scripts/python310.sh)
  "$python" -m venv .venv
fi
.venv/bin/python -m pip install --quiet --upgrade pip
.venv/bin/python -m pip install --quiet "scikit-build-core>=0.10" "pybind11>=3.0,<4" cmake ninja
if ! .venv/bin/python -c "import gorvinpy_bin" >/dev/null 2>&1; then
  echo "Building gorvinpy_bin, the C++ extension: the first build takes about 5 to 10 minutes" \
    "on two cores; later builds recompile only what changed."
fi
PATH="$PWD/.venv/bin:$PATH" .venv/bin/python -m pip install --quiet --no-build-isolation ".[${1:-test,render,interop}]"
