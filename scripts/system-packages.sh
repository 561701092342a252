#!/usr/bin/env bash
# Installs the Debian packages the build and the tests use, when missing: ccache (faster
# rebuilds), geomview (its sample OFF meshes are test data), chromium (opens the HTML pages in the
# tests), graphviz (lays out the pictures of rules) and the X and OpenGL libraries that the gmsh
# wheel links to. Needs root; otherwise it only warns.
set -u
missing=()
for package in ccache geomview chromium graphviz libglu1-mesa libxcursor1 libxft2 libxinerama1; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "note: not root, so these Debian packages are not installed: ${missing[*]}" >&2
  exit 0
fi
apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
