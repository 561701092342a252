"""Rule building and topology checks shared by the rule application tests."""
import gorvinpy_bin as gorvin
from gmap_helpers import live_links, square_face


def make_rule(left=(), right=(), left_links=(), right_links=(), compile=True):
    """left: (name, orbit, is_hook); right: (name, orbit[, expressions]); links: (dim, name, name)."""
    rule = gorvin.Rule3D("r")
    for name, orbit, hook in left:
        rule.make_leftnode(name, orbit, hook)
    for name, orbit, *exprs in right:
        rule.make_rightnode(name, orbit, *exprs)
    for dim, a, b in left_links:
        rule.linkLeftNodes(dim, rule.leftnode(a), rule.leftnode(b))
    for dim, a, b in right_links:
        rule.linkRightNodes(dim, rule.rightnode(a), rule.rightnode(b))
    if compile:
        rule.compile()
    return rule


def triangulation(exprs=()):
    """Barycentric triangulation of every face of the hook's <0,1,2> orbit: each corner dart a gets
    b (a's new alpha1, on the edge towards the centre) and c (at the centre)."""
    return make_rule(
        left=[("a", [0, 1, 2], True)],
        right=[("a", [0, -1, 2]), ("b", [-1, 2, -1], list(exprs)), ("c", [1, 2, -1], list(exprs))],
        right_links=[(1, "a", "b"), (0, "b", "c")],
    )


def is_involution(gmap):
    table = live_links(gmap)
    return all(table[table[i][d]][d] == i for i in table for d in range(4))


def orbits(gmap, dims):
    """The <dims> orbits of the live darts, as a list of sets."""
    table, seen, result = live_links(gmap), set(), []
    for start in table:
        if start in seen:
            continue
        orbit, todo = {start}, [start]
        while todo:
            x = todo.pop()
            for d in dims:
                if table[x][d] not in orbit:
                    orbit.add(table[x][d])
                    todo.append(table[x][d])
        seen |= orbit
        result.append(orbit)
    return result


def counts(gmap):
    """(vertices, edges, faces) of a surface: the <1,2>, <0,2> and <0,1> orbits."""
    return tuple(len(orbits(gmap, dims)) for dims in ([1, 2], [0, 2], [0, 1]))


def square_grid(gmap, k):
    """The k x k grid of square faces: face f = j*k + i owns darts 8f .. 8f+7."""
    for _ in range(k * k):
        square_face(gmap)
    for j in range(k):
        for i in range(k):
            f = 8 * (j * k + i)
            if i + 1 < k:
                gmap.linkAlpha(2, f + 2, f + 8 + 7)
                gmap.linkAlpha(2, f + 3, f + 8 + 6)
            if j + 1 < k:
                gmap.linkAlpha(2, f + 4, f + 8 * k + 1)
                gmap.linkAlpha(2, f + 5, f + 8 * k)
