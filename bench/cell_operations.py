"""Cell operations at one place of ever larger k x k quad grids: milliseconds to make the rule (and
check the place) and to apply it with gorvinpy.apply, beside the size of the place. Their cost
should follow the place, not the map. fill_hole closes the grid's outer boundary (4k edges), so
its place grows with k; the others act in the middle of the grid.

Run: .venv/bin/python bench/cell_operations.py [k ...]   (default 100 300 1000)
"""

import sys
import time

import gorvinpy
from batch_operations import quad_grid
from table import print_table


def walk(gmap, dart, *dims):
    for dim in dims:
        dart = gmap.alpha(dart, dim).id
    return dart


def places(gmap, k):
    """(name, make the rule, hooks): each in its own face of the grid's middle row, and fill_hole
    at the grid's outer boundary."""
    middle = [8 * (k * (k // 2) + k // 2 + 2 * i) for i in range(4)]
    return [
        ("insert_edge", gorvinpy.insert_edge, [middle[0], walk(gmap, middle[0], 0, 1, 0, 1)]),
        ("remove_edge", gorvinpy.remove_edge, [middle[1] + 2]),
        ("contract_edge", lambda: gorvinpy.contract_edge(gmap, middle[2]), [middle[2]]),
        ("remove_face", gorvinpy.remove_face, [middle[3]]),
        ("fill_hole", lambda: gorvinpy.fill_hole(gmap, 0), [0]),
    ]


def main(ks):
    rows = []
    for k in ks:
        gmap = quad_grid(k)
        # The first growth of the tables and the first marked walk size their buffers to the map, once.
        gorvinpy.apply(gmap, gorvinpy.insert_vertex(), [8 * k * (k - 1)])
        gorvinpy.apply(gmap, gorvinpy.remove_vertex(), [len(gmap) - 1])
        for name, make, hooks in places(gmap, k):
            start = time.perf_counter()
            rule = make()
            made = time.perf_counter()
            gorvinpy.apply(gmap, rule, hooks)
            applied = time.perf_counter()
            rows.append([f"{k} x {k}", f"{len(gmap):,}", name, len(rule.leftnodes), f"{1e3 * (made - start):.2f}",
                         f"{1e3 * (applied - made):.2f}", gorvinpy.check_gmap(gmap) == []])
    print_table(["grid", "darts", "operation", "left nodes", "make ms", "apply ms", "sound"], rows)


if __name__ == "__main__":
    main([int(k) for k in sys.argv[1:]] or [100, 300, 1000])
