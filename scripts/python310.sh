#!/usr/bin/env bash
# Prints the path of a CPython 3.10 interpreter: $PYTHON, then python3.10, then pyenv's 3.10.
set -u
is_310() { "$1" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 10))' >/dev/null 2>&1; }
for candidate in "${PYTHON:-}" python3.10; do
  if [ -n "$candidate" ] && is_310 "$candidate"; then command -v "$candidate"; exit 0; fi
done
if command -v pyenv >/dev/null 2>&1; then
  for candidate in "$(pyenv root)"/versions/3.10.*/bin/python3.10; do
    if [ -x "$candidate" ] && is_310 "$candidate"; then echo "$candidate"; exit 0; fi
  done
fi
echo "error: CPython 3.10 is required (set PYTHON to a python3.10 interpreter)" >&2
exit 1
