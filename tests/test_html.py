"""The HTML page of a model: self-contained, drawn by a real browser (headless Chromium on
SwiftShader's WebGL), and picking the darts it shows."""

import os
import re
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from browser import Browser, chromium_path
from gorvinpy.pictures import html as page
from gorvinpy.pictures.dart_view import FACE_PULL, VOLUME_PULL

BACKGROUND = (255, 255, 255)
SIZE = 600
WEB = Path(gorvinpy.__file__).with_name("pictures") / "web"


@pytest.fixture(scope="module")
def browser():
    if chromium_path() is None:
        if os.environ.get("CI"):
            pytest.fail("chromium is missing: scripts/system-packages.sh installs it")
        pytest.skip("chromium is not installed (apt-get install chromium)")
    with Browser(SIZE, SIZE) as opened:
        yield opened


def pixels_of(browser, picture):
    image = pytest.importorskip("matplotlib.image")
    browser.screenshot(picture)
    return (image.imread(picture)[:, :, :3] * 255).round().astype(int)


def hexahedral_volumes(grid):
    from test_volume_meshes import hexahedral_grid

    points, hexahedra = hexahedral_grid(grid)
    gmap = gorvin.Modeler3D().make_gmap()
    cells = gorvinpy.CellFaces()
    cells.add_cells("hexahedron", hexahedra)
    gorvinpy.add_volumes(gmap, points, cells)
    return gmap


def square():
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]))
    return gmap


def opened(browser, gmap, folder, **options):
    gorvinpy.export_html(gmap, folder / "model.html", **options)
    browser.events.clear()
    browser.open(folder / "model.html")
    return folder / "model.html"


def test_page_is_self_contained(tmp_path, browser):
    gmap = hexahedral_volumes(2)
    path = opened(browser, gmap, tmp_path, title="a <grid>")
    text = path.read_text()
    assert "a &lt;grid&gt;" in text and "<grid>" not in text
    own = text.replace((WEB / "three.min.js").read_text(), "")  # the library is checked below
    assert not re.search(r"(src|href)\s*=|https?://|@import|fetch\(|XMLHttpRequest", own)
    assert browser.requested() == [path.resolve().as_uri()]  # no other request, not even for data: URLs
    assert browser.errors() == []


def test_vendored_library_is_debians(tmp_path):
    debian = Path("/usr/share/javascript/three/three.min.js")
    if not debian.is_file():
        pytest.skip("libjs-three is not installed")
    assert (WEB / "three.min.js").read_bytes() == debian.read_bytes()
    assert "MIT" in (WEB / "three.LICENSE").read_text() or "Permission is hereby granted" in (
        WEB / "three.LICENSE").read_text()


@pytest.mark.parametrize("grid, explode", [(1, 0.0), (3, 0.3)])
def test_chromium_draws_the_faces(tmp_path, browser, grid, explode):
    opened(browser, hexahedral_volumes(grid), tmp_path, explode=explode, darts=False)
    pixels = pixels_of(browser, tmp_path / "model.png")
    drawn = np.abs(pixels - BACKGROUND).sum(axis=2) > 30
    assert drawn[150:450, 150:450].mean() > 0.4  # the model fills the middle of the view
    assert not drawn[-20:].any() and not drawn[:, -20:].any()  # and leaves the borders free
    colours = {tuple(c // 16) for c in pixels[150:450, 150:450][drawn[150:450, 150:450]]}
    assert len(colours) >= (3 if grid == 1 else 10)  # shaded faces; one hue per volume
    assert browser.errors() == []


def screen_point(gmap_points, point, azimuth, elevation):
    """Where the page draws a point: an orthographic view along (azimuth, elevation) whose framing
    box's half diagonal fills 0.45 of the shorter side, the box's middle at the centre."""
    low, high = gmap_points.min(axis=0), gmap_points.max(axis=0)
    middle, radius = (low + high) / 2, np.linalg.norm(high - low) / 2
    el, az = np.radians(elevation), np.radians(azimuth)
    side = np.array([-np.sin(az), np.cos(az), 0.0])
    up = np.array([-np.sin(el) * np.cos(az), -np.sin(el) * np.sin(az), np.cos(el)])
    scale = 0.45 * SIZE / radius
    return SIZE / 2 + (point - middle) @ side * scale, SIZE / 2 - (point - middle) @ up * scale


@pytest.mark.parametrize("azimuth, elevation", [(-90, 90), (-60, 25)])
def test_pick_finds_each_dart_of_the_square_at_its_pixel(tmp_path, browser, azimuth, elevation):
    gmap = square()
    opened(browser, gmap, tmp_path)
    browser.evaluate(f"gorvin.look({azimuth}, {elevation})")
    corners = np.array([gorvinpy.position(gmap, d) for d in range(8)])
    partner = [gmap.alpha(d, 0).id for d in range(8)]
    pixels = pixels_of(browser, tmp_path / "square.png")
    for dart in range(8):
        # a third of the way from the dart's corner to its edge's middle, a little inside the face
        corner, middle = corners[dart], (corners[dart] + corners[partner[dart]]) / 2
        point = corner + 0.35 * (middle - corner)
        point += FACE_PULL * (np.array([0.5, 0.5, 0.0]) - point)
        point += VOLUME_PULL * (np.array([0.5, 0.5, 0.0]) - point)
        x, y = screen_point(corners, point, azimuth, elevation)
        near = pixels[int(y) - 3:int(y) + 4, int(x) - 3:int(x) + 4]
        assert (near.sum(axis=2) < 500).any(), (dart, x, y)  # a dark dart segment is drawn there
        picked = browser.evaluate(f"gorvin.pick({x}, {y})")
        assert picked["dart"] == dart
        assert picked["links"] == [gmap.alpha(dart, dim).id for dim in range(4)]
        assert f"dart {dart} " in picked["text"] and "position (" in picked["text"]
    assert browser.evaluate("gorvin.pick(3, 3)") is None  # the corner of the view holds no dart


@pytest.mark.parametrize("orbit", [(1, 2, 3), (0, 2, 3), (0, 1, 3), (0, 1, 2), (0, 1, 2, 3)])
def test_picked_orbit_is_the_kernels(tmp_path, browser, orbit):
    gmap = hexahedral_volumes(2)
    opened(browser, gmap, tmp_path)
    names = ",".join(map(str, orbit))
    browser.evaluate(f"gorvin.show({{orbit: '{names}'}})")
    picked = browser.evaluate(f"gorvin.pick({SIZE / 2}, {SIZE / 2})")
    assert picked is not None
    assert sorted(picked["orbit"]) == sorted(gorvin.Orbit(list(orbit))(gmap, picked["dart"]))


def test_faces_alone_pick_the_darts_share_of_a_face(tmp_path, browser):
    gmap = square()
    opened(browser, gmap, tmp_path, darts=False)
    browser.evaluate("gorvin.look(-90, 90)")
    corners = np.array([gorvinpy.position(gmap, d) for d in range(8)])
    # near corner (1, 0, 0), just above the bottom edge: the share of the dart there on that edge
    x, y = screen_point(corners, np.array([0.8, 0.1, 0.0]), -90, 90)
    picked = browser.evaluate(f"gorvin.pick({x}, {y})")
    dart = next(d for d in range(8)
                if tuple(corners[d]) == (1, 0, 0) and tuple(corners[gmap.alpha(d, 0).id]) == (0, 0, 0))
    assert picked["dart"] == dart


def test_values_of_the_picked_dart_are_shown(tmp_path, browser):
    gmap = square()
    gmap.ebd01(3)["label"] = "seven <b>"
    opened(browser, gmap, tmp_path)
    browser.evaluate("gorvin.look(-90, 90)")
    for x, y in ((300, 300), (200, 451)):  # the face's centre, the segment of dart 0
        dart = browser.evaluate(f"gorvin.pick({x}, {y})")["dart"]
        info = browser.evaluate("document.getElementById('info').textContent")
        assert f"<1,2,3> {gmap.ebd123(dart)!r}" in info
        label = gmap.ebd01(dart)
        assert (f"<0,1> {label!r}" in info) == bool(label)
    assert dart == 0


def test_large_maps_start_without_the_dart_view_and_say_so(tmp_path, browser, monkeypatch):
    monkeypatch.setattr(page, "DART_VIEW_CAP", 40)
    monkeypatch.setattr(page, "VALUE_CAP", 40)
    gmap = hexahedral_volumes(1)  # 48 darts
    opened(browser, gmap, tmp_path)
    state = browser.evaluate("gorvin.state()")
    assert state["faces"] and not state["darts"]
    assert "48 darts: above 40 the dart view starts off" in state["note"]
    picked = browser.evaluate(f"gorvin.pick({SIZE / 2}, {SIZE / 2})")
    assert "up to 40 darts" in picked["text"]
    browser.evaluate("gorvin.show({darts: true})")
    assert browser.evaluate("gorvin.state()")["darts"] and browser.errors() == []


def test_slot_values_follow_each_dart():
    gmap = square()
    gmap.ebd0(5)["mark"] = 1
    slots, texts, records = page._slot_values(gmap, np.arange(8))
    assert slots == ["<0>", "<1,2,3>"]
    shown = [{slot: texts[code] if code >= 0 else texts[-2 - code] for slot, code in zip(slots, row) if code != -1}
             for row in records]
    expected = [{"<1,2,3>": repr(gmap.ebd123(d)), **({"<0>": repr(gmap.ebd0(d))} if gmap.ebd0(d) else {})}
                for d in range(8)]
    assert shown == expected


def test_links_to_deleted_darts_and_open_faces(tmp_path, browser):
    """A dart deleted without unlinking (its partners still name it) and a face left open: the page
    draws the closed faces and every dart, and names the link that leads nowhere."""
    gmap = gorvin.Modeler3D().make_gmap()
    gmap.apply(gorvinpy.cube())
    gmap[3].delete()
    opened(browser, gmap, tmp_path)
    assert browser.evaluate("gorvin.darts") == 47 and browser.errors() == []
    picture = gorvinpy.pictures.dart_view.dart_picture(gmap)
    orphan = int(np.flatnonzero((picture.links == -1).any(axis=1))[0])
    assert picture.darts[orphan] in (2, 4)  # a partner of the deleted dart
    triangles = page._fan_triangles(gorvinpy.geometry.volumes.GMapTables.of(gmap), picture)[0]
    assert len(triangles) == 2 * 5  # five square faces still closed


def volume_gmap(mirrored):
    from test_volume_meshes import mixed_mesh

    mesh = mixed_mesh(3)
    points = mesh.points * ([-1.0, 1.0, 1.0] if mirrored else 1.0)  # a mirror turns every cell inside out
    cells = gorvinpy.CellFaces()
    for block in mesh.cells:
        cells.add_cells(block.type, block.data)
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_volumes(gmap, points, cells)
    return gmap


@pytest.mark.parametrize("mirrored", [False, True])
def test_faces_of_closed_volumes_turn_outwards(mirrored):
    from gorvinpy.geometry.volumes import GMapTables
    from gorvinpy.pictures.dart_view import dart_picture

    gmap = volume_gmap(mirrored)  # 23 hexahedra, 6 wedges, 6 pyramids: convex cells
    tables = GMapTables.of(gmap)
    picture = dart_picture(gmap, tables)
    triangles, volumes, inner, closed = page._fan_triangles(tables, picture)
    assert closed.all()
    a, b, c = (picture.points[triangles[:, j]] for j in range(3))
    normal = np.cross(b - a, c - a)
    centre = np.zeros((volumes.max() + 1, 3))
    np.add.at(centre, volumes, (a + b + c) / 3)
    centre /= np.bincount(volumes)[:, None]  # inside a convex cell
    assert (np.einsum("ij,ij->i", normal, (a + b + c) / 3 - centre[volumes]) > 0).all()
    middle = (a + b + c) / 3  # faces sewn along alpha3 lie inside the block, the others on its box
    low, high = picture.points.min(axis=0), picture.points.max(axis=0)
    on_box = (np.isclose(middle, low) | np.isclose(middle, high)).any(axis=1)
    assert (on_box == ~inner).all()


def test_open_surfaces_are_drawn_from_both_sides():
    from gorvinpy.geometry.volumes import GMapTables
    from gorvinpy.pictures.dart_view import dart_picture

    tables = GMapTables.of(square())
    _, _, inner, closed = page._fan_triangles(tables, dart_picture(square(), tables))
    assert not closed.any() and not inner.any()


def test_large_maps_move_at_half_resolution_and_redraw_in_full_once_still(tmp_path, browser, monkeypatch):
    monkeypatch.setattr(page, "DART_VIEW_CAP", 40)
    opened(browser, hexahedral_volumes(2), tmp_path, explode=0.0)
    browser.evaluate("gorvin.look(-30, 25)")
    still = pixels_of(browser, tmp_path / "still.png")
    browser.evaluate("gorvin.look(-60, 25)")
    browser.evaluate("gorvin.turn(30)")
    assert browser.evaluate("gorvin.ratio()") == 0.5
    browser.evaluate("new Promise(done => setTimeout(done, 500))")
    assert browser.evaluate("gorvin.ratio()") == 1
    assert (pixels_of(browser, tmp_path / "rested.png") == still).all()
    _, refined, again = browser.evaluate("[gorvin.turn(1), gorvin.refine(), gorvin.refine()]")  # one task
    assert refined > 0 and again == 0
    assert browser.errors() == []


@pytest.mark.parametrize("make, explode", [(lambda: surface_grid(20), 0.0), (lambda: hexahedral_volumes(4), 0.15)])
def test_large_maps_move_with_a_coarser_mesh_and_rest_with_the_full_one(tmp_path, browser, monkeypatch, make, explode):
    monkeypatch.setattr(page, "MOTION_CAP", 100)
    opened(browser, make(), tmp_path, explode=explode)
    browser.evaluate("gorvin.look(-60, 25)")
    full = browser.evaluate("gorvin.triangles()")
    browser.evaluate("gorvin.turn(7)")
    coarse = browser.evaluate("gorvin.triangles()")
    assert 0 < coarse < full
    browser.evaluate("gorvin.refine()")
    assert browser.evaluate("gorvin.triangles()") == full
    assert browser.errors() == []


def surface_grid(k):
    gmap = gorvin.Modeler3D().make_gmap()
    y, x = np.meshgrid(np.arange(k + 1.0), np.arange(k + 1.0), indexing="ij")
    points = np.stack([x.ravel(), y.ravel(), np.sin(x / 3).ravel()], axis=1)
    index = np.arange((k + 1) ** 2).reshape(k + 1, k + 1)
    faces = np.stack([index[:-1, :-1], index[:-1, 1:], index[1:, 1:], index[1:, :-1]], axis=-1).reshape(-1, 4)
    gorvinpy.add_mesh(gmap, points, faces)
    return gmap
