"""Makes the README's pictures of the dart view: the square, the cube and two tetrahedra, each
page opened in headless Chromium and captured (run from the repository root:
.venv/bin/python docs/images/screenshots.py)."""

import sys
import tempfile
from pathlib import Path

import numpy as np

import gorvinpy
import gorvinpy_bin as gorvin

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tests"))
from browser import Browser  # noqa: E402


def square():
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]))
    return gmap


def cube():
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.cube())
    return gmap


def two_tetrahedra():
    gmap = gorvin.Modeler3D().make_gmap()
    cells = gorvinpy.CellFaces()
    cells.add_cells("tetra", [[0, 1, 2, 3], [1, 2, 3, 4]])
    gorvinpy.add_volumes(gmap, np.array([(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 1.0)]), cells)
    return gmap


# name, G-map, (azimuth, elevation), orbit to highlight, pixel to pick (None: no pick)
VIEWS = [
    ("darts-square", square(), (-90, 90), "1,2,3", None),
    ("darts-cube", cube(), (-60, 25), "1,2,3", (330, 250)),
    ("darts-two-tetrahedra", two_tetrahedra(), (-20, 15), "0,1,3", (395, 330)),
]


def main():
    with tempfile.TemporaryDirectory() as folder, Browser(800, 600) as browser:
        for name, gmap, (azimuth, elevation), orbit, pick in VIEWS:
            page = Path(folder) / f"{name}.html"
            gorvinpy.export_html(gmap, page, title=name.replace("darts-", "").replace("-", " "))
            browser.open(page)
            browser.evaluate(f"gorvin.show({{orbit: '{orbit}'}}); gorvin.look({azimuth}, {elevation})")
            if pick:
                print(name, browser.evaluate(f"gorvin.pick({pick[0]}, {pick[1]})"))
            browser.screenshot(HERE / f"{name}.png")


if __name__ == "__main__":
    main()
