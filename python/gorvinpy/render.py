"""A PNG picture of a G-map with positions, drawn with matplotlib (the "render" extra).

Faces are shaded by the angle between their normal and a light from the viewer's upper left, with
their edges drawn in dark grey.
"""

from __future__ import annotations

import math
from typing import List, Optional, Sequence, Tuple

import gorvinpy_bin

from .exchange import to_mesh
from .meshio import PathLike
from .point import Point

_LIGHT = (-0.4, 0.5, 0.75)  # screen right, screen up, towards the viewer
_BASE_COLOUR = (0.35, 0.55, 0.85)


def render_png(
    gmap: gorvinpy_bin.GMap3D,
    path: PathLike,
    title: Optional[str] = None,
    elevation: float = 25.0,
    azimuth: float = -60.0,
    pixels: int = 800,
) -> None:
    """Draws the faces of a G-map, seen from the given elevation and azimuth (degrees), into a square PNG."""
    try:
        from matplotlib.backends.backend_agg import FigureCanvasAgg
        from matplotlib.figure import Figure
        from mpl_toolkits.mplot3d.art3d import Poly3DCollection  # type: ignore[import-untyped]
    except ImportError as error:
        raise ImportError("render_png needs matplotlib: pip install 'gorvin[render]'") from error

    mesh = to_mesh(gmap)
    polygons = [[mesh.points[index] for index in face] for face in mesh.faces]
    light = _view_light(elevation, azimuth)
    figure = Figure(figsize=(pixels / 100, pixels / 100), dpi=100)
    FigureCanvasAgg(figure)
    axes = figure.add_subplot(projection="3d")
    axes.add_collection3d(
        Poly3DCollection(
            polygons,
            facecolors=[_shade(polygon, light) for polygon in polygons],
            edgecolors=(0.15, 0.15, 0.2),
            linewidths=0.6,
        )
    )
    _frame(axes, mesh.points)
    axes.view_init(elev=elevation, azim=azimuth)
    axes.set_axis_off()
    if title:
        axes.set_title(title)
    figure.savefig(path, format="png")


def _frame(axes, points: Sequence[Point]) -> None:
    """Equal scales on the three axes, around the points."""
    if not points:
        return
    lows = [min(point[axis] for point in points) for axis in range(3)]
    highs = [max(point[axis] for point in points) for axis in range(3)]
    radius = max(max(high - low for low, high in zip(lows, highs)) / 2, 1e-9)
    centre = [(low + high) / 2 for low, high in zip(lows, highs)]
    axes.set_xlim(centre[0] - radius, centre[0] + radius)
    axes.set_ylim(centre[1] - radius, centre[1] + radius)
    axes.set_zlim(centre[2] - radius, centre[2] + radius)
    axes.set_box_aspect((1, 1, 1))


def _shade(polygon: List[Point], light: Point) -> Tuple[float, float, float]:
    normal = _newell_normal(polygon)
    brightness = 0.35 + 0.65 * abs(sum(n * s for n, s in zip(normal, light)))
    return (_BASE_COLOUR[0] * brightness, _BASE_COLOUR[1] * brightness, _BASE_COLOUR[2] * brightness)


def _newell_normal(polygon: List[Point]) -> Point:
    """The unit normal of a polygon (Newell's method, sound for non-planar and concave polygons)."""
    nx = ny = nz = 0.0
    for (x1, y1, z1), (x2, y2, z2) in zip(polygon, polygon[1:] + polygon[:1]):
        nx += (y1 - y2) * (z1 + z2)
        ny += (z1 - z2) * (x1 + x2)
        nz += (x1 - x2) * (y1 + y2)
    length = math.sqrt(nx * nx + ny * ny + nz * nz) or 1.0
    return (nx / length, ny / length, nz / length)


def _view_light(elevation: float, azimuth: float) -> Point:
    """The light direction turned with the camera, so the shading looks the same from any view."""
    el, az = math.radians(elevation), math.radians(azimuth)
    towards_viewer = (math.cos(el) * math.cos(az), math.cos(el) * math.sin(az), math.sin(el))
    side = (-math.sin(az), math.cos(az), 0.0)
    up = (-math.sin(el) * math.cos(az), -math.sin(el) * math.sin(az), math.cos(el))
    lx, ly, lz = _LIGHT
    direction = [lz * v + lx * s + ly * u for v, s, u in zip(towards_viewer, side, up)]
    length = math.sqrt(sum(c * c for c in direction))
    return (direction[0] / length, direction[1] / length, direction[2] / length)
