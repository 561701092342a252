"""PNG pictures of a model."""

from collections import Counter

import pytest

import gorvinpy


def test_picture_of_a_cube_shows_three_shaded_faces(gmap, tmp_path):
    image = pytest.importorskip("matplotlib.image")
    gmap.apply(gorvinpy.cube())
    path = tmp_path / "cube.png"
    gorvinpy.render_png(gmap, path, title="cube", pixels=400)
    pixels = image.imread(path)
    assert pixels.shape[:2] == (400, 400)
    samples = Counter(tuple(round(float(c), 2) for c in pixel[:3]) for row in pixels[::4] for pixel in row[::4])
    faces = [c for c, n in samples.items() if c[2] > c[0] + 0.1 and n > sum(samples.values()) / 50]
    assert len(faces) == 3  # three large blue areas on a white background


def coloured_share(path):
    """The share of pixels that are not white background, the share of those that are near black,
    and their mean brightness."""
    import matplotlib.image

    pixels = matplotlib.image.imread(path)[..., :3]
    drawn = pixels.min(axis=2) < 0.95
    dark = pixels.max(axis=2) < 0.15
    return drawn.mean(), (dark & drawn).sum() / max(drawn.sum(), 1), pixels[drawn].mean()


@pytest.fixture
def torus_gmap(gmap):
    """A closed torus of 20,000 triangles: many faces, so no edges by default."""
    import numpy as np

    u, v = np.meshgrid(np.linspace(0, 2 * np.pi, 100, endpoint=False), np.linspace(0, 2 * np.pi, 100, endpoint=False))
    points = np.stack([(1 + 0.4 * np.cos(v)) * np.cos(u), (1 + 0.4 * np.cos(v)) * np.sin(u), 0.4 * np.sin(v)], -1)
    i, j = np.meshgrid(np.arange(100), np.arange(100), indexing="ij")
    a, b, c, d = i * 100 + j, (i + 1) % 100 * 100 + j, (i + 1) % 100 * 100 + (j + 1) % 100, i * 100 + (j + 1) % 100
    faces = np.stack([np.stack([a, b, c], -1), np.stack([a, c, d], -1)], 2).reshape(-1, 3)
    gorvinpy.add_mesh(gmap, points.reshape(-1, 3), faces)
    return gmap


def test_many_faces_are_shaded_without_edges_unless_asked(torus_gmap, tmp_path):
    pytest.importorskip("matplotlib")
    gorvinpy.render_png(torus_gmap, tmp_path / "plain.png", pixels=300)
    gorvinpy.render_png(torus_gmap, tmp_path / "edges.png", pixels=300, edges=True)
    drawn, dark, brightness = coloured_share(tmp_path / "plain.png")
    assert drawn > 0.2 and dark < 0.02  # a shaded torus, not a dark blob
    assert coloured_share(tmp_path / "edges.png")[2] < brightness - 0.1  # edges of 20,000 faces darken it


def test_exploded_view_shrinks_each_volume_and_shows_shared_faces_twice(gmap, tmp_path):
    pytest.importorskip("matplotlib")
    from gorvinpy.pictures.render import _exploded

    gmap.apply(gorvinpy.cube())
    gorvinpy.render_png(gmap, tmp_path / "whole.png", pixels=200)
    gorvinpy.render_png(gmap, tmp_path / "shrunk.png", pixels=200, explode=0.5)
    assert coloured_share(tmp_path / "shrunk.png")[0] < 0.5 * coloured_share(tmp_path / "whole.png")[0]
    gmap.apply(gorvinpy.cube())  # a second volume on the same points, sewn face to face by alpha3
    for dart in range(48):
        gmap.linkAlpha(3, dart, dart + 48)
    assert len(gorvinpy.to_mesh(gmap).faces) == 6
    assert len(_exploded(gmap, 0.3)[2]) - 1 == 12  # offsets of the faces drawn
    with pytest.raises(ValueError, match="explode"):
        gorvinpy.render_png(gmap, tmp_path / "x.png", explode=1.0)


@pytest.mark.parametrize("dims_shown, expected", [("square", (0, 1, 2)), ("two volumes", (0, 1, 2, 3))])
def test_dart_picture_draws_segments_links_and_free_marks(gmap, tmp_path, dims_shown, expected):
    """Every colour of the dart view is drawn, alpha3 only where there are alpha3 links, and a
    mark of dimension 2 sits on each dart of the lone square (all free along alpha2)."""
    image = pytest.importorskip("matplotlib.image")
    import numpy as np

    from gorvinpy.pictures.render import _DART_COLOUR, _LINK_COLOURS

    if dims_shown == "square":
        gmap.apply(gorvinpy.polygon([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]))
    else:
        cells = gorvinpy.CellFaces()
        cells.add_cells("tetra", [[0, 1, 2, 3], [1, 2, 3, 4]])
        gorvinpy.add_volumes(gmap, np.array([(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 1.0)]), cells)
    path = tmp_path / "darts.png"
    gorvinpy.render_png(gmap, path, darts=True, pixels=500, elevation=90 if dims_shown == "square" else 25)
    pixels = (image.imread(path)[..., :3] * 255).round().astype(int)

    def count(colour):
        return int((np.abs(pixels - np.round(np.asarray(colour) * 255)).sum(axis=2) < 40).sum())

    assert count(_DART_COLOUR) + (pixels.max(axis=2) < 120).sum() > 400  # grey segments
    for dim in range(4):
        assert (count(_LINK_COLOURS[dim]) > 8) == (dim in expected), dim
    if dims_shown == "square":
        blue = np.abs(pixels - np.round(_LINK_COLOURS[2] * 255)).sum(axis=2) < 40
        assert blobs(set(zip(*np.nonzero(blue)))) == 8  # one free mark per dart


def blobs(cells):
    """The number of 8-connected groups of pixel cells."""
    count = 0
    while cells:
        count += 1
        stack = [cells.pop()]
        while stack:
            y, x = stack.pop()
            for near in [(y + dy, x + dx) for dy in (-1, 0, 1) for dx in (-1, 0, 1)]:
                if near in cells:
                    cells.remove(near)
                    stack.append(near)
    return count
