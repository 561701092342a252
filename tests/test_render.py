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
