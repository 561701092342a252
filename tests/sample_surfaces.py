"""Small surfaces as (points, faces) lists for the operation tests, and the public meshes' paths."""

import random
from pathlib import Path

import pytest

import gorvinpy

GEOMVIEW = Path("/usr/share/geomview/geom")
# refined_elephant.off from the data archive of Debian's libcgal-demo, unpacked by scripts/mesh-data.sh
ELEPHANT = Path(__file__).resolve().parents[1] / "build" / "mesh-data" / "refined_elephant.off"
CUBE_FACES = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]


def cube(low=0.0, high=1.0):
    """The closed surface of an axis-aligned cube from low to high on every axis."""
    points = [(x, y, z) for z in (low, high) for y in (low, high) for x in (low, high)]
    return points, [list(face) for face in CUBE_FACES]


def grid(k=4, j=None, triangles=False, seed=0):
    """A k x j (default k x k) patch of quads or triangles with a boundary, jittered so that no two
    points coincide in any coordinate."""
    j = k if j is None else j
    rng = random.Random(seed)
    points = [(x + rng.uniform(-0.2, 0.2), y + rng.uniform(-0.2, 0.2), rng.uniform(-0.3, 0.3))
              for y in range(j + 1) for x in range(k + 1)]
    faces = []
    for y in range(j):
        for x in range(k):
            a, b = y * (k + 1) + x, y * (k + 1) + x + 1
            c, d = b + k + 1, a + k + 1
            faces += [[a, b, c], [a, c, d]] if triangles else [[a, b, c, d]]
    return points, faces


def elephant_surface():
    """refined_elephant.off's points and faces; skips when scripts/mesh-data.sh has not fetched it."""
    if not ELEPHANT.is_file():
        pytest.skip(f"{ELEPHANT} is missing: run scripts/mesh-data.sh")
    mesh = gorvinpy.read_off(ELEPHANT)
    return mesh.points, mesh.faces
