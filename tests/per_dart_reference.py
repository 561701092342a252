"""gorvinpy's whole-G-map operations written dart by dart on the public per-dart API, as plain
loops: the reference that the bulk paths must agree with."""

from collections import deque

import gorvinpy_bin as gorvin

CONDITION_PAIRS = ((0, 2), (0, 3), (1, 3))
CELL_ORBITS = ((1, 2, 3), (0, 2, 3), (0, 1, 3), (0, 1, 2), (0, 1, 2, 3))


def links(gmap):
    """{live dart: (alpha0, .., alpha3)}."""
    return {d: tuple(gmap[d].dart()[i] for i in range(4)) for d in range(len(gmap)) if gmap.exists(d)}


def check_messages(gmap):
    table = links(gmap)
    errors = []
    for dart, alphas in sorted(table.items()):
        for dim, neighbour in enumerate(alphas):
            if neighbour not in table:
                errors.append(f"alpha{dim}({dart}) = {neighbour}, which is not a live dart")
            elif table[neighbour][dim] != dart:
                errors.append(f"alpha{dim}({dart}) = {neighbour} but alpha{dim}({neighbour}) = {table[neighbour][dim]}")
    for dart in sorted(table):
        for i, j in CONDITION_PAIRS:
            image = dart
            for dim in (i, j, i, j):
                image = table[image][dim] if image in table else None
                if image is None:
                    break
            if image in table and image != dart:
                errors.append(f"alpha{i} alpha{j} is not an involution at dart {dart}: it gives back {image}")
    return errors


def cell_counts(gmap):
    live = links(gmap)
    return [len({gorvin.Islet(list(orbit))(gmap)[d] for d in live}) for orbit in CELL_ORBITS]


def polygon_layout(faces):
    """(vertex of each dart, alpha0 pairs, alpha1 pairs, alpha2 pairs) of faces of points."""
    vertex, alpha0, alpha1, alpha2 = [], [], [], []
    open_sides, sewn = {}, set()
    for face in faces:
        first, k = len(vertex), len(face)
        for i, start in enumerate(face):
            end = face[(i + 1) % k]
            side = (first + 2 * i, first + 2 * i + 1)
            vertex.extend((start, end))
            alpha0.append(side)
            alpha1.append((side[1], first + 2 * ((i + 1) % k)))
            key = (min(start, end), max(start, end))
            other = open_sides.pop(key, None)
            if other is not None:
                same_way = vertex[other[0]] == start
                alpha2.append((other[0], side[0] if same_way else side[1]))
                alpha2.append((other[1], side[1] if same_way else side[0]))
                sewn.add(key)
            elif key not in sewn:
                open_sides[key] = side
    return vertex, alpha0, alpha1, alpha2


def to_mesh(gmap):
    """(points, faces) with faces turned by a breadth-first two-colouring and outwards per part."""
    representatives, faces = gmap.extractGeometryCompacted3D()
    points = [gmap.ebd123(d)["position"] for d in representatives]
    side = {}
    for seed in sorted(links(gmap)):
        if seed in side:
            continue
        side[seed] = 0
        pending = deque([seed])
        while pending:
            dart = pending.popleft()
            for dim in (0, 1, 2):
                neighbour = gmap.alpha(dart, dim).id
                if neighbour not in side:
                    side[neighbour] = 1 - side[dart]
                    pending.append(neighbour)
    part = gorvin.Islet([0, 1, 2, 3])(gmap)
    starts = [walk[0] for walk in gmap.extractFaces3D()]
    out, by_part = [], {}
    for start, face in zip(starts, faces):
        turned = list(face) if side[start] == 0 else [face[0]] + list(reversed(face[1:]))
        out.append(turned)
        by_part.setdefault(part[start], []).append(turned)
    for part_faces in by_part.values():
        total = 0.0
        for face in part_faces:
            ax, ay, az = points[face[0]]
            for i in range(1, len(face) - 1):
                bx, by, bz = points[face[i]]
                cx, cy, cz = points[face[i + 1]]
                total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
        if total < 0:
            for face in part_faces:
                face[1:] = reversed(face[1:])
    return points, out


def obj_text(points, faces):
    lines = ["# written by gorvinpy"]
    lines += [f"v {float(x)!r} {float(y)!r} {float(z)!r}" for x, y, z in points]
    lines += ["f " + " ".join(str(i + 1) for i in face) for face in faces]
    return "\n".join(lines) + "\n"
