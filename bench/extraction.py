"""Geometry extraction through the Python module on the k x k grid of square faces.

Run from the repository root with the built module on the path:
    PYTHONPATH=build/dev python bench/extraction.py [k]      (k = 1000 by default)
Prints the best processor time of three calls of each member.
"""

import sys
import time

import gorvinpy_bin as gorvin


def grid(gmap, k):
    """Face f = j*k + i owns darts 8f..8f+7; darts 2, 3 meet 7, 6 on the right, 4, 5 meet 1, 0 above."""
    link = gmap.linkAlpha
    gmap.resize(8 * k * k)
    for f in range(0, 8 * k * k, 8):
        for d in range(0, 8, 2):
            link(0, f + d, f + d + 1)
            link(1, f + d + 1, f + (d + 2) % 8)
    for j in range(k):
        for i in range(k):
            f = 8 * (j * k + i)
            if i + 1 < k:
                link(2, f + 2, f + 8 + 7)
                link(2, f + 3, f + 8 + 6)
            if j + 1 < k:
                link(2, f + 4, f + 8 * k + 1)
                link(2, f + 5, f + 8 * k + 0)


def best_of_three(call):
    times = []
    for _ in range(3):
        start = time.process_time()
        result = call()
        times.append(time.process_time() - start)
        del result
    return min(times)


def main():
    k = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    gmap = gorvin.Modeler3D().make_gmap()
    start = time.process_time()
    grid(gmap, k)
    print(f"grid {k} x {k}, {len(gmap)} darts, built in {time.process_time() - start:.1f} s")
    for name in ("extractFaces2D", "extractFaces3D", "extractGeometryCompacted3D"):
        print(f"{name:28} {best_of_three(getattr(gmap, name)):8.3f} s")


if __name__ == "__main__":
    main()
