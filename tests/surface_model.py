"""Polygon surfaces as plain lists, and the cell operations by their definitions: the reference the
G-map operations are checked against. A surface is (points, faces): a list of (x, y, z) and a list
of faces, each a list of point indices in turn order."""


def midpoint(p, q):
    return tuple((a + b) / 2 for a, b in zip(p, q))


def _dedup_cycle(face):
    out = [v for i, v in enumerate(face) if v != face[i - 1]] if len(set(face)) > 1 else face[:1]
    return out


def _edges(face):
    return [(face[i], face[(i + 1) % len(face)]) for i in range(len(face))]


def _has_edge(face, a, b):
    return (a, b) in _edges(face) or (b, a) in _edges(face)


def _starting(face, first, last):
    """The face's cycle turned (and reversed when needed) to run from first to last along the
    corners that are not the edge first-last."""
    for cycle in (face, face[::-1]):
        i = cycle.index(first)
        turned = cycle[i:] + cycle[:i]
        if turned[-1] == last:
            return turned
    raise ValueError(f"{first}-{last} is no edge of {face}")


def insert_vertex(points, faces, a, b):
    m = len(points)
    new_faces = []
    for face in faces:
        out = []
        for u, v in _edges(face):
            out.append(u)
            if {u, v} == {a, b}:
                out.append(m)
        new_faces.append(out)
    return points + [midpoint(points[a], points[b])], new_faces


def remove_vertex(points, faces, v):
    return points, [[u for u in face if u != v] for face in faces]


def insert_edge(points, faces, f, u, w):
    face = faces[f]
    i, j = sorted((face.index(u), face.index(w)))
    return points, faces[:f] + faces[f + 1:] + [face[i:j + 1], face[j:] + face[:i + 1]]


def remove_edge(points, faces, a, b):
    f, g = [i for i, face in enumerate(faces) if _has_edge(face, a, b)]
    merged = _starting(faces[f], b, a) + _starting(faces[g], a, b)[1:-1]
    return points, [face for i, face in enumerate(faces) if i not in (f, g)] + [merged]


def contract_edge(points, faces, a, b):
    m = len(points)
    moved = [_dedup_cycle([m if v in (a, b) else v for v in face]) for face in faces]
    return points + [midpoint(points[a], points[b])], moved


def remove_face(points, faces, f):
    return points, faces[:f] + faces[f + 1:]


def fill_hole(points, faces, a, b):
    """Closes the hole whose boundary holds the edge a-b (an edge of one face only)."""
    count = {}
    for face in faces:
        for u, v in _edges(face):
            count[frozenset((u, v))] = count.get(frozenset((u, v)), 0) + 1
    boundary = {}
    for edge, n in count.items():
        if n == 1:
            u, v = tuple(edge)
            boundary.setdefault(u, []).append(v)
            boundary.setdefault(v, []).append(u)
    loop = [a, b]
    while True:
        here, before = loop[-1], loop[-2]
        after = [v for v in boundary[here] if v != before]
        assert len(after) == 1, f"vertex {here} is no manifold boundary vertex"
        if after[0] == a:
            return points, faces + [loop]
        loop.append(after[0])


def face_with_corners(faces, corners):
    """The index of the face whose corner set is `corners`."""
    found = [i for i, face in enumerate(faces) if set(face) == set(corners)]
    assert len(found) == 1, corners
    return found[0]
