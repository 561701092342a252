"""Plain transcriptions of the orbit walk and the label sweeps, to check the module against."""

import pytest

from gmap_helpers import DELETED, UNKNOWN


class Unexistent(Exception):
    """The walk met an index that names no slot."""


def assert_agrees(ours, theirs):
    """ours() gives what theirs() gives, or raises the module's error where theirs() meets a
    missing slot."""
    try:
        expected = theirs()
    except Unexistent:
        with pytest.raises(RuntimeError, match=UNKNOWN):
            ours()
    else:
        assert ours() == expected


# A table lists every slot as (id, alpha0, alpha1, alpha2, alpha3), as gmap_helpers.dart_table
# reads it.


def alpha(table, x, d):
    if x >= len(table):
        raise Unexistent
    return table[x][1 + d] if 0 <= d <= 3 else x


def orbit(table, dims, start):
    n = len(table)
    if -42 in dims:
        return {i for i, row in enumerate(table) if row[0] != DELETED}
    visited = [False] * n
    stack, result = [start], set()
    while stack:
        x = stack.pop()
        if x < n and visited[x]:
            continue
        result.add(x)
        if x < n:
            visited[x] = True
        for d in dims:
            y = alpha(table, x, d)
            if not (y < n and visited[y]):
                stack.append(y)
    return result


def sub_orbit(table, dims, sub, start):
    members = sorted(orbit(table, dims, start))
    label = {x: x for x in members}
    changed = True
    while changed:
        changed = False
        for x in members:
            low = label[x]
            for d in sub:
                y = alpha(table, x, d)
                if y in label and label[y] < low:  # a neighbour outside the orbit is ignored
                    label[x] = label[y]
                    changed = True
    return set(label.values())


def islet(table, dims, labels):
    if not dims:
        return list(labels)
    label = list(labels)
    changed = True
    while changed:
        changed = False
        for i in range(len(label)):
            low = label[i]
            for d in dims:
                y = alpha(table, i, d)
                if y < len(label) and label[y] < low:  # a position past the list has no label
                    label[i] = label[y]
                    changed = True
    return label


# Geometry extraction: the label sweeps and face walks over (alpha, live) tables, one step at a
# time. A link that names no live dart reads as a free link, and a walk ends before it would repeat
# a dart.


def neighbour(alpha, live, i, d):
    j = alpha[i][d]
    return j if j < len(alpha) and live[j] else i


def sweep_labels(alpha, live, dims):
    label = list(range(len(alpha)))
    changed = True
    while changed:
        changed = False
        for i in range(len(alpha)):
            if not live[i]:
                continue
            start = label[i]
            for d in dims:
                other = label[neighbour(alpha, live, i, d)]
                if other < start:
                    label[i] = other
                    changed = True
    return label


def walk(alpha, live, start):
    met, d = [], start
    while d not in met:
        met.append(d)
        d = neighbour(alpha, live, neighbour(alpha, live, d, 0), 1)
    return met


def reference_faces(alpha, live, dims):
    label = sweep_labels(alpha, live, dims)
    starts = sorted({label[i] for i in range(len(alpha)) if live[i]})
    return [walk(alpha, live, f) for f in starts]


def reference_compacted(alpha, live):
    label = sweep_labels(alpha, live, (1, 2, 3))
    vertices = sorted({label[i] for i in range(len(alpha)) if live[i]})
    number = {v: k for k, v in enumerate(vertices)}
    faces = reference_faces(alpha, live, (0, 1, 3))
    return vertices, [[number[label[d]] for d in face] for face in faces]


def random_gmap(modeler, rng, involutive=True):
    """A small G-map with random links, some deleted darts, some links past the end and, unless
    involutive, one-sided links."""
    gmap = modeler.make_gmap()
    size = rng.randrange(0, 24)
    gmap.resize(size + 3)
    for _ in range(rng.randrange(0, 3 * size + 1)):
        d = rng.randrange(4)
        a, b = rng.randrange(size + 3), rng.randrange(size + 3)
        if involutive or rng.random() < 0.5:
            gmap.linkAlpha(d, a, b)
        else:
            gmap.get(a).dart()[d] = b
    gmap.resize(size)  # links into the dropped slots stay
    for _ in range(rng.randrange(0, 3) if size else 0):
        gmap.get(rng.randrange(size)).delete()
    return gmap


def random_dims(rng, whole_map=False):
    choices = [0, 0, 1, 1, 2, 2, 3, -1, 7] + ([-42] if whole_map else [])
    return [rng.choice(choices) for _ in range(rng.randrange(0, 4))]
