"""The HTML page of a model: self-contained, and drawn by a real browser (headless Chromium)."""

import os
import re
import shutil
import subprocess

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin

BACKGROUND = (255, 255, 255)


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    if os.environ.get("CI"):
        pytest.fail("chromium is missing: scripts/system-packages.sh installs it")
    pytest.skip("chromium is not installed (apt-get install chromium)")


def screenshot(page, picture):
    result = subprocess.run(
        [chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
         "--window-size=600,600", f"--screenshot={picture}", page.as_uri()],
        capture_output=True, text=True, timeout=120,
        env={name: value for name, value in os.environ.items() if name != "LD_PRELOAD"},  # not the sanitizer's
    )
    assert result.returncode == 0 and picture.is_file(), result.stderr
    image = pytest.importorskip("matplotlib.image")
    return (image.imread(picture)[:, :, :3] * 255).round().astype(int)


def hexahedral_volumes(grid):
    from test_volume_meshes import hexahedral_grid

    points, hexahedra = hexahedral_grid(grid)
    gmap = gorvin.Modeler3D().make_gmap()
    cells = gorvinpy.CellFaces()
    cells.add_cells("hexahedron", hexahedra)
    gorvinpy.add_volumes(gmap, points, cells)
    return gmap


def test_page_is_self_contained(tmp_path):
    gmap = hexahedral_volumes(2)
    gorvinpy.export_html(gmap, tmp_path / "grid.html", title="a <grid>")
    page = (tmp_path / "grid.html").read_text()
    assert not re.search(r"(src|href)\s*=|https?://|@import|fetch\(|XMLHttpRequest", page)
    assert "a &lt;grid&gt;" in page and "<grid>" not in page
    assert page.count("<script") == 2


@pytest.mark.parametrize("grid, explode", [(1, 0.0), (3, 0.3)])
def test_chromium_draws_the_model(tmp_path, grid, explode):
    gmap = hexahedral_volumes(grid)
    gorvinpy.export_html(gmap, tmp_path / "model.html", explode=explode)
    pixels = screenshot(tmp_path / "model.html", tmp_path / "model.png")
    drawn = (np.abs(pixels - BACKGROUND).sum(axis=2) > 30)
    middle = drawn[150:450, 150:450]
    assert middle.mean() > 0.4  # the model fills the middle of the view
    assert not drawn[-20:].any() and not drawn[:, -20:].any()  # and leaves the borders free
    colours = {tuple(c // 16) for c in pixels[drawn]}
    assert len(colours) >= (3 if grid == 1 else 10)  # shaded faces; one hue per volume
