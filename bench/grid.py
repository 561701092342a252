"""The k x k grid of square faces and the triangulation rule, as the Python benchmarks build them.
Face f = j*k + i owns darts 8f .. 8f+7; darts 2, 3 meet darts 7, 6 of the face on the right and
darts 4, 5 meet darts 1, 0 of the face above, as in the C++ harness."""

import gorvinpy_bin as gorvin


def grid_links(k):
    """(dim, a, b) for every link of the grid, in the order the C++ harness makes them."""
    def dart(i, j, d):
        return 8 * (j * k + i) + d

    for f in range(k * k):
        for d in range(0, 8, 2):
            yield 0, 8 * f + d, 8 * f + d + 1
            yield 1, 8 * f + d + 1, 8 * f + (d + 2) % 8
    for j in range(k):
        for i in range(k):
            if i + 1 < k:
                yield 2, dart(i, j, 2), dart(i + 1, j, 7)
                yield 2, dart(i, j, 3), dart(i + 1, j, 6)
            if j + 1 < k:
                yield 2, dart(i, j, 4), dart(i, j + 1, 1)
                yield 2, dart(i, j, 5), dart(i, j + 1, 0)


def link_grid(gmap, k, links=None):
    """Makes the grid's darts in an empty G-map and links them (links: grid_links(k), made ahead)."""
    gmap.make_darts(8 * k * k)
    link = gmap.linkAlpha
    for dim, a, b in grid_links(k) if links is None else links:
        link(dim, a, b)
    return gmap


def grid(k):
    """The grid in a new G-map of a new modeler; grid(1) is one square face."""
    return link_grid(gorvin.Modeler3D().make_gmap(), k)


def triangulation_rule(side=(), centre=()):
    """Barycentric triangulation of every face reached from the hook over <0,1,2>: each dart keeps
    its alpha0 and alpha2 and gains a dart on the new edge to the centre (node b, expressions
    `side`) and one at the centre (node c, expressions `centre`)."""
    rule = gorvin.Rule3D("triangulate")
    rule.make_leftnode("a", [0, 1, 2], True)
    kept = rule.make_rightnode("a", [0, -1, 2])
    b = rule.make_rightnode("b", [-1, 2, -1], list(side))
    c = rule.make_rightnode("c", [1, 2, -1], list(centre))
    rule.linkRightNodes(1, kept, b)
    rule.linkRightNodes(0, b, c)
    rule.compile()
    return rule
