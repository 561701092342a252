#!/usr/bin/env bash
# Fetches the public mesh of the package benchmarks (bench/public_mesh.py): refined_elephant.off
# (533,568 darts once imported) from the data archive of Debian's libcgal-demo package (apt-get, so
# it needs root when the package is missing), unpacked into build/mesh-data.
set -eu
cd "$(dirname "$0")/.."
archive=/usr/share/doc/libcgal-demo/data.tar.gz
if [ ! -f "$archive" ]; then
  apt-get update -qq && apt-get install -y -qq libcgal-demo >/dev/null
fi
mkdir -p build/mesh-data
tar -xzf "$archive" -C build/mesh-data --strip-components=2 data/meshes/refined_elephant.off
