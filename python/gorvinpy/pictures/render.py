"""A PNG picture of a G-map with positions (matplotlib writes the file: the "render" extra).

Faces are drawn flat-shaded with depth buffering by the compiled companion module: a light from the
viewer's upper left, a touch of highlight, both sides lit alike. Edges are drawn when there are few
faces, or on request. The exploded view shrinks each volume (orbit <0,1,2>) towards its centre so
that the volumes inside show; faces sewn by alpha3 are then drawn once for each of their volumes.
"""

from __future__ import annotations

from typing import Optional, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..files.mesh_darts import to_mesh
from ..files.polygon_files import PathLike
from ..geometry.positions import positions
from .dart_view import dart_picture

_LIGHT = (-0.4, 0.5, 0.75)  # screen right, screen up, towards the viewer
_BASE_COLOUR = np.array([0.35, 0.55, 0.85])
_EDGE_COLOUR = (0.15, 0.15, 0.2)
_BACKGROUND = (1.0, 1.0, 1.0)
_EDGES_UP_TO = 2000  # faces; more make the edges a dark web over the shading
_SAMPLES = 2  # canvas pixels per image pixel, along each axis
_MARGIN = 0.05
_DART_COLOUR = np.array([0.13, 0.13, 0.13])
_LINK_COLOURS = np.array([[0.84, 0.15, 0.16], [0.17, 0.63, 0.17], [0.12, 0.37, 0.84], [0.88, 0.48, 0.0]])  # alpha0..3
_MARK = 0.006  # side of a free mark, as a share of the picture


def render_png(
    gmap: gorvinpy_bin.GMap3D,
    path: PathLike,
    title: Optional[str] = None,
    elevation: float = 25.0,
    azimuth: float = -60.0,
    pixels: int = 800,
    edges: Optional[bool] = None,
    explode: float = 0.0,
    darts: bool = False,
) -> None:
    """Draws the faces of a G-map, seen from the given elevation and azimuth (degrees), into a square PNG.

    edges: draw the face edges (default: when there are at most 2,000 faces). explode: from 0 to 1,
    how far each volume shrinks towards its centre (0: not at all). darts: draw the darts instead,
    as the HTML page's dart view does (see dart_view): segments, alpha0 .. alpha2 links (and alpha3
    where there are any) in their colours, a dot on each dart free along a drawn dimension.
    """
    try:
        from matplotlib.backends.backend_agg import FigureCanvasAgg
        from matplotlib.figure import Figure
    except ImportError as error:
        raise ImportError("render_png needs matplotlib: pip install 'gorvin[render]'") from error
    if not 0.0 <= explode < 1.0:
        raise ValueError(f"explode must be at least 0 and below 1, got {explode}")

    side, up, towards_viewer = _camera(elevation, azimuth)
    to_view = np.stack([side, up, towards_viewer], axis=1)
    if darts:
        scene = _dart_scene(gmap, explode, to_view, pixels * _SAMPLES, bool(title))
    else:
        scene = _face_scene(gmap, explode, edges, to_view, pixels * _SAMPLES, bool(title))
    screen, triangles, colours, lines, line_colours = scene
    depth = np.ptp(screen[:, 2]) if len(screen) else 0.0
    image = _native.rasterize(
        screen, triangles, colours, lines, line_colours, 0.01 * depth, pixels, _SAMPLES, _BACKGROUND
    )

    figure = Figure(figsize=(pixels / 100, pixels / 100), dpi=100)
    FigureCanvasAgg(figure)
    axes = figure.add_axes((0, 0, 1, 1))
    axes.imshow(image, interpolation="nearest")
    axes.set_axis_off()
    if title:
        figure.text(0.5, 1 - _MARGIN, title, ha="center", va="center", fontsize=14)
    figure.savefig(path, format="png", dpi=100)


Faces = Tuple[np.ndarray, np.ndarray, np.ndarray, np.ndarray]
Scene = Tuple[np.ndarray, np.ndarray, np.ndarray, np.ndarray, np.ndarray]  # screen, triangles, colours, lines, colours


def _face_scene(gmap, explode: float, edges: Optional[bool], to_view: np.ndarray, canvas: int, titled: bool) -> Scene:
    coordinates, corners, offsets, frame = _exploded(gmap, explode) if explode else _faces(gmap)
    screen = _screen(coordinates @ to_view, frame @ to_view, canvas, titled)
    first, following = _fan(offsets)
    triangles = np.stack([corners[first], corners[following], corners[following + 1]], axis=1)
    shade = _shades(coordinates, corners, offsets, *to_view.T)
    colours = shade[np.repeat(np.arange(len(offsets) - 1), np.maximum(np.diff(offsets) - 2, 0))]
    draw_edges = edges if edges is not None else len(offsets) - 1 <= _EDGES_UP_TO
    lines = _edges(corners, offsets) if draw_edges else np.zeros((0, 2), dtype=np.int64)
    return screen, triangles, colours, lines, np.array(_EDGE_COLOUR)


def _dart_scene(gmap, explode: float, to_view: np.ndarray, canvas: int, titled: bool) -> Scene:
    """Dart segments, link connectors and free marks (small squares facing the viewer)."""
    picture = dart_picture(gmap)
    count = len(picture.darts)
    shrink = 1.0 - explode
    centres = picture.volume_centres[picture.volume]
    dims = [0, 1, 2] + ([3] if (picture.links[:, 3] > np.arange(count)).any() else [])
    ends = [picture.start, picture.end] + [picture.attach(dim) for dim in dims]
    places = np.concatenate([centres + shrink * (point - centres) for point in ends])  # (k * count, 3)
    segments = [np.stack([np.arange(count), count + np.arange(count)], axis=1)]
    colours = [np.broadcast_to(_DART_COLOUR, (count, 3))]
    marks = []
    for k, dim in enumerate(dims):
        pairs = picture.link_pairs(dim) + (2 + k) * count
        segments.append(pairs)
        colours.append(np.broadcast_to(_LINK_COLOURS[dim], (len(pairs), 3)))
        marks.append((2 + k) * count + np.flatnonzero(picture.free[:, dim]))
    screen = _screen(places @ to_view, places @ to_view, canvas, titled)
    marked = np.concatenate(marks) if marks else np.zeros(0, dtype=np.int64)
    half = _MARK * canvas / 2
    lift = 0.02 * (np.ptp(screen[:, 2]) if len(screen) else 0.0)
    square = np.array([(-half, -half, lift), (half, -half, lift), (half, half, lift), (-half, half, lift)])
    corners = (screen[marked][:, None, :] + square).reshape(-1, 3)
    first = len(screen) + 4 * np.arange(len(marked))[:, None]
    triangles = np.concatenate([first + [0, 1, 2], first + [0, 2, 3]])
    mark_colours = np.concatenate([np.broadcast_to(_LINK_COLOURS[dim], (len(m), 3)) for dim, m in zip(dims, marks)])
    return (np.concatenate([screen, corners]), triangles, np.concatenate([mark_colours, mark_colours]),
            np.concatenate(segments), np.concatenate(colours))


def _faces(gmap: gorvinpy_bin.GMap3D) -> Faces:
    """(points, corners, offsets, the points to frame)."""
    mesh = to_mesh(gmap)
    return mesh.coordinates, mesh.corners, mesh.offsets, mesh.coordinates


def _exploded(gmap: gorvinpy_bin.GMap3D, explode: float) -> Faces:
    """The faces of the 2-map, one point per corner, each moved towards the centre of its volume;
    the picture is framed on the points where they were."""
    darts, offsets = _native.face_darts(gmap)
    points = positions(gmap, darts)
    _, volume = np.unique(_native.cell_labels(gmap, [0, 1, 2])[darts], return_inverse=True)
    counts = np.bincount(volume)
    centres = np.stack([np.bincount(volume, weights=points[:, axis]) / counts for axis in range(3)], axis=1)
    moved = centres[volume] + (1.0 - explode) * (points - centres[volume])
    return moved, np.arange(len(darts), dtype=np.int64), offsets, points


def _camera(elevation: float, azimuth: float) -> Tuple[np.ndarray, np.ndarray, np.ndarray]:
    """Screen right, screen up and towards the viewer, in model coordinates."""
    el, az = np.radians(elevation), np.radians(azimuth)
    towards_viewer = np.array([np.cos(el) * np.cos(az), np.cos(el) * np.sin(az), np.sin(el)])
    side = np.array([-np.sin(az), np.cos(az), 0.0])
    up = np.array([-np.sin(el) * np.cos(az), -np.sin(el) * np.sin(az), np.cos(el)])
    return side, up, towards_viewer


def _screen(view: np.ndarray, frame: np.ndarray, canvas: int, titled: bool) -> np.ndarray:
    """(x right, y up, depth) scaled into canvas pixels (y down), equal scales, the frame centred."""
    if not len(view):
        return view
    low, high = frame[:, :2].min(axis=0), frame[:, :2].max(axis=0)
    top = (2 * _MARGIN if titled else _MARGIN) * canvas
    room = canvas - top - _MARGIN * canvas
    scale = room / max(float((high - low).max()), 1e-12)
    centre = (low + high) / 2
    x = canvas / 2 + (view[:, 0] - centre[0]) * scale
    y = top + room / 2 - (view[:, 1] - centre[1]) * scale
    return np.stack([x, y, view[:, 2] * scale], axis=1)


def _fan(offsets: np.ndarray) -> Tuple[np.ndarray, np.ndarray]:
    """Per fan triangle of each face: the index of the face's first corner and of the triangle's second."""
    sizes = np.diff(offsets)
    count = np.maximum(sizes - 2, 0)
    face = np.repeat(np.arange(len(sizes)), count)
    rank = np.arange(count.sum()) - np.repeat(np.cumsum(count) - count, count)
    return offsets[face], offsets[face] + 1 + rank


def _shades(coordinates, corners, offsets, side, up, towards_viewer) -> np.ndarray:
    """The colour of each face: ambient, two-sided diffuse and a highlight, from Newell normals."""
    if len(offsets) < 2:
        return np.zeros((0, 3))
    a, b = coordinates[corners], coordinates[corners[_following(offsets)]]
    terms = np.stack(
        [(a[:, 1] - b[:, 1]) * (a[:, 2] + b[:, 2]),
         (a[:, 2] - b[:, 2]) * (a[:, 0] + b[:, 0]),
         (a[:, 0] - b[:, 0]) * (a[:, 1] + b[:, 1])],
        axis=1,
    )
    normals = np.add.reduceat(terms, offsets[:-1], axis=0) if len(terms) else np.zeros((0, 3))
    normals /= np.maximum(np.linalg.norm(normals, axis=1, keepdims=True), 1e-300)
    light = _LIGHT[0] * side + _LIGHT[1] * up + _LIGHT[2] * towards_viewer
    light /= np.linalg.norm(light)
    halfway = light + towards_viewer
    halfway /= np.linalg.norm(halfway)
    diffuse = np.abs(normals @ light)
    highlight = np.abs(normals @ halfway) ** 24
    colour = (0.3 + 0.7 * diffuse)[:, None] * _BASE_COLOUR + 0.25 * highlight[:, None]
    return np.clip(colour, 0.0, 1.0)


def _edges(corners: np.ndarray, offsets: np.ndarray) -> np.ndarray:
    """The corner pairs (i, i + 1) around each face."""
    return np.stack([corners, corners[_following(offsets)]], axis=1)


def _following(offsets: np.ndarray) -> np.ndarray:
    """For each corner position, the position of the next corner around its face."""
    index = np.arange(offsets[-1])
    face = np.repeat(np.arange(len(offsets) - 1), np.diff(offsets))
    return np.where(index + 1 == offsets[face + 1], offsets[face], index + 1)
