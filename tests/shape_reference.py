"""Plain-Python constructions of the corner, edge and thickening operations, from their geometric
definitions on a polygon mesh (points, faces as index lists turned one way), and the comparison of
a G-map's cells with them."""

from collections import Counter

import numpy as np

import gorvinpy
from gorvinpy import _native


def directed_edges(faces):
    return [(face[i], face[(i + 1) % len(face)]) for face in faces for i in range(len(face))]


def vertex_rings(faces):
    """For each vertex, its faces' corners: (face index, previous corner, next corner)."""
    rings = {}
    for index, face in enumerate(faces):
        for i, v in enumerate(face):
            rings.setdefault(v, []).append((index, face[i - 1], face[(i + 1) % len(face)]))
    return rings


def chamfered_vertices(points, faces, t):
    """Points and faces (as point tuples) of every corner cut off at fraction t along its edges."""
    p = np.asarray(points, dtype=float)

    def cut(v, w):
        return tuple((1 - t) * p[v] + t * p[w])

    cells = [[cut(face[i], face[i - 1]) for i in range(len(face))] + [cut(face[i], face[(i + 1) % len(face)])
                                                                         for i in range(len(face))]
             for face in faces]
    cells += [[cut(v, w) for _, _, w in ring] for v, ring in vertex_rings(faces).items()]
    return cells


def chamfered_edges(points, faces, t):
    """Faces (as point tuples) of every face shrunk, its corners moved by t along both their edges,
    with a face for every edge and every vertex between them."""
    p = np.asarray(points, dtype=float)
    moved = {}
    for index, face in enumerate(faces):
        for i, v in enumerate(face):
            a, b = face[i - 1], face[(i + 1) % len(face)]
            moved[index, v] = tuple(p[v] + t * (p[a] - p[v]) + t * (p[b] - p[v]))
    cells = [[moved[index, v] for v in face] for index, face in enumerate(faces)]
    by_edge = {}
    for index, face in enumerate(faces):
        for v, w in directed_edges([face]):
            by_edge.setdefault(frozenset((v, w)), []).append(index)
    for edge, (f, g) in by_edge.items():
        cells.append([moved[f, v] for v in edge] + [moved[g, v] for v in edge])
    cells += [[moved[index, v] for index, _, _ in ring] for v, ring in vertex_rings(faces).items()]
    return cells


def face_normal(p, face):
    """Newell's normal of a polygon, unit length."""
    corners = p[face]
    following = np.roll(corners, -1, axis=0)
    normal = np.array([
        np.sum((corners[:, 1] - following[:, 1]) * (corners[:, 2] + following[:, 2])),
        np.sum((corners[:, 2] - following[:, 2]) * (corners[:, 0] + following[:, 0])),
        np.sum((corners[:, 0] - following[:, 0]) * (corners[:, 1] + following[:, 1])),
    ])
    return normal / np.linalg.norm(normal)


def thickened(points, faces, d):
    """The prisms (as sets of point tuples) between each face and its copy moved by d along the
    vertex normals (unit mean of the unit normals of the faces around the vertex)."""
    p = np.asarray(points, dtype=float)
    normals = [face_normal(p, face) for face in faces]
    raised = {}
    for v, ring in vertex_rings(faces).items():
        mean = sum(normals[index] for index, _, _ in ring) / len(ring)
        raised[v] = tuple(p[v] + d * mean / np.linalg.norm(mean))
    return [[tuple(p[v]) for v in face] + [raised[v] for v in face] for face in faces]


def cells_of(gmap, orbit):
    """The cells of an orbit type as lists of the positions of their darts."""
    live = np.flatnonzero(_native.live_mask(gmap))
    labels = np.asarray(_native.cell_labels(gmap, list(orbit)))[live]
    points = _native.positions(gmap, live)
    order = np.argsort(labels, kind="stable")
    starts = np.flatnonzero(np.r_[True, labels[order][1:] != labels[order][:-1]])
    return [points[chunk] for chunk in np.split(order, starts[1:])]


def assert_same_cells(gmap, orbit, expected, tolerance=1e-9):
    """Each cell of the G-map is one expected cell: every dart's point within tolerance of one of
    the expected cell's points, and each expected cell met once."""
    reference = np.array([point for cell in expected for point in cell], dtype=float)
    keys, first, names = np.unique(_keys(reference), axis=0, return_index=True, return_inverse=True)
    names = names.reshape(-1)
    sizes = [len(cell) for cell in expected]
    wanted = Counter(frozenset(chunk.tolist()) for chunk in np.split(names, np.cumsum(sizes)[:-1]))
    cells = cells_of(gmap, orbit)
    found = np.concatenate(cells)
    index = {tuple(key): i for i, key in enumerate(keys.tolist())}
    ids = np.array([index.get(tuple(key), -1) for key in _keys(found).tolist()])
    assert (ids >= 0).all(), f"a point of a cell is no expected point: {found[np.argmin(ids)]}"
    assert np.abs(reference[first][ids] - found).max() <= tolerance
    chunks = np.split(ids, np.cumsum([len(cell) for cell in cells])[:-1])
    assert Counter(frozenset(chunk.tolist()) for chunk in chunks) == wanted


def _keys(points):
    """Grid cells of 1e-6 holding the points; the grid is shifted by an irrational fraction of a
    cell so that points of short decimals and their middles do not fall on its borders."""
    return np.floor(np.asarray(points, dtype=float) * 1e6 + 0.36787944117).astype(np.int64)


def counts(gmap):
    c = gorvinpy.cell_counts(gmap)
    return c.vertices, c.edges, c.faces, c.volumes
