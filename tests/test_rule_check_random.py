"""Random rules on random G-maps: a rule without findings never breaks a G-map, and every finding's
witness reproduces. GORVIN_RANDOM_ROUNDS multiplies the rules."""

import os
import random

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from conftest import SANITIZED

ROUNDS = float(os.environ.get("GORVIN_RANDOM_ROUNDS", "1"))
RULES = int(2000 * ROUNDS)
POINT_RULES = [gorvinpy.position, gorvinpy.edge_midpoint, gorvinpy.face_centre, None]


def random_rule(rng, number):
    orbit = rng.sample(range(4), rng.randint(1, 4))
    left, left_links = {}, []
    for k in range(rng.choice((0, 0, 1, 2))):
        name = f"l{k}"
        left[name] = orbit
        left_links.append((rng.randrange(4), rng.choice(["n0"] + list(left)[:-1]), name))
    nodes = {}
    for name in ["n0"] + list(left):
        if rng.random() < 0.8:
            nodes[name] = None
    for k in range(rng.randint(0, 3)):
        nodes[f"c{k}"] = None
    for name in nodes:
        nodes[name] = [d if rng.random() < 0.6 else rng.choice((-1, 0, 1, 2, 3)) for d in orbit]
    names = list(nodes)
    links = []
    for _ in range(rng.randint(0, 3) if names else 0):
        links.append((rng.randrange(4), rng.choice(names), rng.choice(names)))
    positions = {name: rng.choice(POINT_RULES) for name in names if name.startswith("c") or rng.random() < 0.2}
    positions = {name: rule for name, rule in positions.items() if rule is not None}
    return gorvinpy.rule(f"random {number}", orbit, nodes, links, positions, left=left, left_links=left_links)


def random_gmap(rng):
    gmap = gorvin.Modeler3D().make_gmap()
    kind = rng.randrange(4)
    if kind == 0:  # an open grid of quads and triangles
        a, b = rng.randint(1, 4), rng.randint(1, 3)
        points = [
            (i + 0.1 * rng.random(), j + 0.1 * rng.random(), rng.random()) for j in range(b + 1) for i in range(a + 1)
        ]
        faces = []
        for j in range(b):
            for i in range(a):
                p, q, r, s = j * (a + 1) + i, j * (a + 1) + i + 1, (j + 1) * (a + 1) + i + 1, (j + 1) * (a + 1) + i
                faces += [[p, q, r, s]] if rng.random() < 0.5 else [[p, q, r], [p, r, s]]
        gorvinpy.add_mesh(gmap, points, faces)
    elif kind == 1:  # a closed surface: a box, maybe refined
        gorvinpy.apply(gmap, gorvinpy.cube(centre=(rng.random(), 0, 0)))
        for _ in range(rng.randint(0, 2)):
            gorvinpy.apply(
                gmap,
                rng.choice([gorvinpy.triangulate((0, 1, 3)), gorvinpy.insert_vertex()]),
                [rng.randrange(len(gmap))],
            )
    else:  # sewn volumes: a row of tetrahedra or hexahedra
        count = rng.randint(1, 3)
        cells = gorvinpy.CellFaces()
        if kind == 2:
            points = np.array([(i, 0, 0) for i in range(count + 3)], float) + np.random.default_rng(
                rng.randrange(99)
            ).random((count + 3, 3))
            cells.add_cells("tetra", np.array([[i, i + 1, i + 2, i + 3] for i in range(count)]))
        else:
            points = np.array([(i, y, z) for z in (0, 1) for y in (0, 1) for i in range(count + 1)], float)
            points += 0.05 * np.random.default_rng(rng.randrange(99)).random(points.shape)
            w = count + 1
            cells.add_cells(
                "hexahedron",
                np.array(
                    [
                        [i, i + 1, w + i + 1, w + i, 2 * w + i, 2 * w + i + 1, 3 * w + i + 1, 3 * w + i]
                        for i in range(count)
                    ]
                ),
            )
        gorvinpy.add_volumes(gmap, points, cells)
    assert gorvinpy.check_gmap(gmap) == []
    return gmap


def position_faults(before, gmap):
    """New darts without a position, or a vertex with a new dart whose darts lie at different points."""
    live = sorted(gorvinpy.live_darts(gmap))
    points = {}
    for dart in live:
        value = gmap.ebd123(dart).get("position")
        if value is None:
            return [f"dart {dart} has no position"]
        points[dart] = np.array(value)
    faults = []
    for dart in live:
        if dart >= len(before):
            for other in gorvin.Orbit([1, 2, 3])(gmap, dart):
                if np.abs(points[other] - points[dart]).max() > 1e-9 * (1 + np.abs(points[dart]).max()):
                    faults.append(f"darts {dart} and {other} of one vertex at different points")
    return faults


@pytest.mark.parametrize("chunk", range(3 if SANITIZED else 10))  # the checker is plain Python
def test_random_rules(chunk):
    rng = random.Random(chunk)
    sound = faulty = 0
    for number in range(RULES // 10):
        try:
            rule = random_rule(rng, number)
        except ValueError:
            continue
        findings = gorvinpy.check_rule(rule)
        for finding in findings:
            assert finding.reproduces(), str(finding)
        faulty += bool(findings)
        if findings:
            continue
        sound += 1
        for _ in range(2):
            gmap = random_gmap(rng)
            before_size = len(gmap)
            try:
                gorvinpy.apply(gmap, rule, [rng.randrange(before_size)])
            except Exception:
                continue
            assert gorvinpy.check_gmap(gmap) == [], rule.name
            assert position_faults(range(before_size), gmap) == [], rule.name
    assert sound and faulty
