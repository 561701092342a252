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
    from gorvinpy.render import _exploded

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
