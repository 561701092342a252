"""Subdivision schemes and the dual written from their published formulas over a face-vertex mesh
(points, faces listing point indices, consistently oriented), to check the rules against.

Each returns (points, faces) of the new mesh."""

import math
from collections import defaultdict

import numpy as np


def _edge(a, b):
    return (a, b) if a < b else (b, a)


class Mesh:
    def __init__(self, points, faces):
        self.p = np.asarray(points, dtype=np.float64)
        self.faces = [list(face) for face in faces]
        self.edge_faces = defaultdict(list)
        self.next_corner = {}  # (face, vertex) -> following vertex
        self.prev_corner = {}
        for f, face in enumerate(self.faces):
            for k, v in enumerate(face):
                w, u = face[(k + 1) % len(face)], face[k - 1]
                self.edge_faces[_edge(v, w)].append(f)
                self.next_corner[f, v], self.prev_corner[f, v] = w, u
        self.vertex_faces = defaultdict(list)
        for f, face in enumerate(self.faces):
            for v in face:
                self.vertex_faces[v].append(f)
        self.neighbours = defaultdict(set)
        for a, b in self.edge_faces:
            self.neighbours[a].add(b)
            self.neighbours[b].add(a)
        self.face_points = [self.p[face].mean(axis=0) for face in self.faces]

    def boundary(self, edge):
        return len(self.edge_faces[edge]) == 1

    def boundary_neighbours(self, v):
        return [w for w in self.neighbours[v] if self.boundary(_edge(v, w))]

    def middle(self, edge):
        return (self.p[edge[0]] + self.p[edge[1]]) / 2

    def boundary_vertex(self, v):
        a, b = self.boundary_neighbours(v)
        return 0.75 * self.p[v] + 0.125 * self.p[a] + 0.125 * self.p[b]

    def faces_around(self, v):
        """The faces around an interior vertex, in turning order."""
        start = self.vertex_faces[v][0]
        order, f = [start], start
        while True:
            nxt = self.next_corner[f, v]
            g = next(g for g in self.vertex_faces[v] if self.prev_corner[g, v] == nxt)
            if g == start:
                return order
            order.append(g)
            f = g


class Builder:
    """New points by key, new faces by lists of keys."""

    def __init__(self):
        self.index, self.points, self.faces = {}, [], []

    def point(self, key, value):
        if key not in self.index:
            self.index[key] = len(self.points)
            self.points.append(tuple(float(x) for x in value))
        return self.index[key]

    def face(self, keys):
        self.faces.append([self.index[key] for key in keys])

    def result(self):
        return self.points, self.faces


def catmull_clark(points, faces):
    m, out = Mesh(points, faces), Builder()
    for edge, fs in m.edge_faces.items():
        if len(fs) == 1:
            out.point(("e", edge), m.middle(edge))
        else:
            out.point(("e", edge), (m.p[edge[0]] + m.p[edge[1]] + m.face_points[fs[0]] + m.face_points[fs[1]]) / 4)
    for v in m.vertex_faces:
        if m.boundary_neighbours(v):
            out.point(("v", v), m.boundary_vertex(v))
            continue
        n = len(m.neighbours[v])
        f = np.mean([m.face_points[g] for g in m.vertex_faces[v]], axis=0)
        r = np.mean([m.middle(_edge(v, w)) for w in m.neighbours[v]], axis=0)
        out.point(("v", v), (f + 2 * r + (n - 3) * m.p[v]) / n)
    for g, face in enumerate(m.faces):
        out.point(("f", g), m.face_points[g])
        for v in face:
            out.face([("v", v), ("e", _edge(v, m.next_corner[g, v])), ("f", g), ("e", _edge(m.prev_corner[g, v], v))])
    return out.result()


def loop_beta(n):
    return (5 / 8 - (3 / 8 + math.cos(2 * math.pi / n) / 4) ** 2) / n


def loop(points, faces):
    m, out = Mesh(points, faces), Builder()
    for edge, fs in m.edge_faces.items():
        if len(fs) == 1:
            out.point(("e", edge), m.middle(edge))
            continue
        opposite = [next(v for v in m.faces[g] if v not in edge) for g in fs]
        value = 3 / 8 * (m.p[edge[0]] + m.p[edge[1]]) + 1 / 8 * (m.p[opposite[0]] + m.p[opposite[1]])
        out.point(("e", edge), value)
    for v in m.vertex_faces:
        if m.boundary_neighbours(v):
            out.point(("v", v), m.boundary_vertex(v))
            continue
        n = len(m.neighbours[v])
        b = loop_beta(n)
        out.point(("v", v), (1 - n * b) * m.p[v] + b * sum(m.p[w] for w in m.neighbours[v]))
    for a, b, c in m.faces:
        ab, bc, ca = ("e", _edge(a, b)), ("e", _edge(b, c)), ("e", _edge(c, a))
        out.face([("v", a), ab, ca])
        out.face([("v", b), bc, ab])
        out.face([("v", c), ca, bc])
        out.face([ab, bc, ca])
    return out.result()


def doo_sabin(points, faces):
    m, out = Mesh(points, faces), Builder()
    for g, face in enumerate(m.faces):
        for v in face:
            before, after = m.middle(_edge(m.prev_corner[g, v], v)), m.middle(_edge(v, m.next_corner[g, v]))
            out.point((g, v), (m.p[v] + m.face_points[g] + before + after) / 4)
        out.face([(g, v) for v in face])
    for (a, b), (f, g) in m.edge_faces.items():
        out.face([(f, a), (f, b), (g, b), (g, a)])
    for v in m.vertex_faces:
        out.face([(g, v) for g in m.faces_around(v)])
    return out.result()


def dual(points, faces):
    m, out = Mesh(points, faces), Builder()
    for g in range(len(m.faces)):
        out.point(g, m.face_points[g])
    for v in m.vertex_faces:
        out.face(m.faces_around(v))
    return out.result()


_STEP = 1e-6


def _key(point):
    return tuple(int(round(x / _STEP)) for x in point)


def _canonical(cycle):
    turns = [cycle[k:] + cycle[:k] for k in range(len(cycle))]
    turns += [list(reversed(t)) for t in turns]
    return min(tuple(t) for t in turns)


def _nearby(key):
    for dx in (0, -1, 1):
        for dy in (0, -1, 1):
            for dz in (0, -1, 1):
                yield (key[0] + dx, key[1] + dy, key[2] + dz)


def assert_same_mesh(points, faces, expected_points, expected_faces, tolerance=1e-9):
    """The meshes have the same faces over points within `tolerance` of each other."""
    assert len(points) == len(expected_points)
    by_key = defaultdict(list)
    for j, p in enumerate(expected_points):
        by_key[_key(p)].append(j)
    match = []
    for p in points:
        near = [j for key in _nearby(_key(p)) for j in by_key.get(key, ())
                if max(abs(a - b) for a, b in zip(p, expected_points[j])) <= tolerance]
        assert len(near) == 1, f"{p}: {len(near)} expected points within {tolerance}"
        match.append(near[0])
    assert len(set(match)) == len(match)
    got_faces = sorted(_canonical([match[v] for v in face]) for face in faces)
    assert got_faces == sorted(_canonical(list(face)) for face in expected_faces)
