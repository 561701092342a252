"""A self-contained HTML page that shows a G-map with positions in a browser, on WebGL.

The page carries its data, three.js (web/three.min.js, MIT, see web/three.LICENSE) and its own
script (web/view.js) inline, and needs no network. It has two views: the faces, shaded and
coloured by volume, each volume shrunk towards its centre by a slider; and the darts (see
dart_view), with their alpha0 .. alpha3 links as coloured connectors, one toggle per dimension,
and a dot on every dart free along a shown dimension. Clicking (or hovering, up to DART_VIEW_CAP
darts) shows a dart's id, its links, its position and, for G-maps of up to VALUE_CAP darts, the
values of its slots, and highlights the chosen orbit of it. Above DART_VIEW_CAP darts the dart
view starts off and the page says so.

Arrays go in as base64 of little-endian typed arrays, one <script> element each; the geometry of
the darts is computed here, the page only copies it into buffers.
"""

from __future__ import annotations

import base64
import html
import json
import re
from pathlib import Path
from typing import List, Optional

import numpy as np

import gorvinpy_bin

from .. import _native
from ..files.polygon_files import PathLike
from ..geometry.volume_winding import dart_sides, turn_outwards
from ..geometry.volumes import GMapTables, face_cycles
from .dart_view import ATTACH, NO_DART, DartPicture, dart_picture

DART_VIEW_CAP = 200_000  # darts: above, the dart view starts off
VALUE_CAP = 50_000  # darts: up to this many, the page carries the values of every slot
VALUE_TEXT = 200  # characters of a value's text at most
MOTION_CAP = 30_000  # face triangles: above, the page draws a coarser stand-in while the view moves
_WEB = Path(__file__).with_name("web")


def page_html(gmap: gorvinpy_bin.GMap3D, title: str = "G-map", explode: Optional[float] = None,
              darts: Optional[bool] = None) -> str:
    """The page of a G-map as text. explode (0 to 0.8): how far each volume shrinks towards its
    centre (default 0.15 with several volumes, else 0); darts: whether the dart view starts on
    (default: up to DART_VIEW_CAP darts)."""
    tables = GMapTables.of(gmap)
    picture = dart_picture(gmap, tables)
    triangles, volumes, inner, closed = _fan_triangles(tables, picture)
    group = 2 * inner + ~closed  # outer faces of closed volumes, outer faces of others, inner ones alike
    order = np.argsort(group, kind="stable")
    corner_point, corner_volume, triangles = _shading_corners(triangles[order], volumes[order])
    count = len(picture.darts)
    if explode is None:
        explode = 0.15 if len(picture.volume_centres) > 1 else 0.0
    model = {
        "attach": ATTACH,
        "dartCap": DART_VIEW_CAP,
        "valueCap": VALUE_CAP,
        "motionCap": MOTION_CAP,
        "showDarts": bool(count <= DART_VIEW_CAP if darts is None else darts),
        "explode": min(max(float(explode), 0.0), 0.8),
        "hasAlpha3": bool((picture.links[:, 3] > np.arange(count)).any()),
        "outerTriangles": int(len(inner) - inner.sum()),
        "faceGroups": [[int(start), int(size), bool(kind % 2 == 0)] for kind, start, size in _runs(group[order])],
        "slots": [],
        "texts": None,
    }
    arrays = {
        "ids": ("int32", picture.darts),
        "links": ("int32", picture.links),
        "segments": ("float32", np.concatenate([picture.start, picture.end], axis=1)),
        "vertex": ("int32", picture.vertex),
        "points": ("float64", picture.points),
        "face": ("int32", picture.face),
        "face_centres": ("float32", picture.face_centres),
        "volume": ("int32", picture.volume),
        "volume_centres": ("float32", picture.volume_centres),
        "corner_point": ("int32", corner_point),
        "corner_volume": ("int32", corner_volume),
        "triangles": ("int32", triangles),
    }
    if count <= VALUE_CAP:
        slots, texts, records = _slot_values(gmap, picture.darts)
        model.update(slots=slots, texts=texts)
        arrays["records"] = ("int32", records)
    parts = {
        "__TITLE__": html.escape(title),
        "__MODEL__": json.dumps(model, separators=(",", ":")).replace("</", "<\\/"),
        "__ARRAYS__": "\n".join(_array_element(name, *typed) for name, typed in arrays.items()),
        "__THREE__": (_WEB / "three.min.js").read_text(encoding="utf-8"),
        "__VIEW__": (_WEB / "view.js").read_text(encoding="utf-8"),
    }
    pieces = re.split("(" + "|".join(parts) + ")", (_WEB / "page.html").read_text(encoding="utf-8"))
    return "".join(parts.get(piece, piece) for piece in pieces)


def export_html(gmap: gorvinpy_bin.GMap3D, path: PathLike, title: Optional[str] = None,
                explode: Optional[float] = None, darts: Optional[bool] = None) -> None:
    """Writes the page of page_html (titled with the file's stem by default) to path."""
    name = title if title is not None else Path(path).stem
    Path(path).write_text(page_html(gmap, name, explode, darts), encoding="utf-8")


def _array_element(name: str, dtype: str, values: np.ndarray) -> str:
    data = np.ascontiguousarray(values, dtype=np.dtype(dtype).newbyteorder("<"))
    text = base64.b64encode(data.tobytes()).decode("ascii")
    return f'<script type="application/base64" id="gorvin-{name}" data-type="{dtype}">{text}</script>'


def _fan_triangles(tables: GMapTables, picture: DartPicture):
    """Fan triangles of every closed face of every volume, as rows of picture.points, each one's
    volume, whether its face is sewn along alpha3 to another volume's (then it lies inside and shows
    only while the volumes are exploded), and whether its volume is closed: then its triangles turn
    outwards and only their front shows. A face is closed when each of its darts has live partners
    along alpha0 and alpha1; the others show in the dart view only."""
    triangles: List[np.ndarray] = [np.zeros((0, 3), dtype=np.int64)]
    volumes: List[np.ndarray] = [np.zeros(0, dtype=np.int64)]
    inner: List[np.ndarray] = [np.zeros(0, dtype=bool)]
    position = np.zeros(len(tables.links), dtype=np.int64)
    position[picture.darts] = np.arange(len(picture.darts))
    partners = picture.links[:, :2]
    open_dart = ((partners == NO_DART) | (partners == np.arange(len(partners))[:, None])).any(axis=1)
    open_face = np.zeros(len(picture.face_centres), dtype=bool)
    open_face[picture.face[open_dart]] = True
    side, closed = dart_sides(picture.links, picture.volume)
    for k, (cycles, first) in face_cycles(tables, picture.darts[~open_face[picture.face]]).items():
        corners = np.searchsorted(picture.vertex_ids, cycles)
        partner = picture.links[position[first], 3]
        sewn = (partner != NO_DART) & (partner != position[first])
        backwards = side[position[first]] == 1
        for j in range(1, k - 1):
            triangles.append(np.where(backwards[:, None], corners[:, [0, j + 1, j]], corners[:, [0, j, j + 1]]))
            volumes.append(picture.volume[position[first]])
            inner.append(sewn)
    corners_of, volume_of = np.concatenate(triangles), np.concatenate(volumes)
    corners_of = turn_outwards(picture.points, corners_of, volume_of, picture.volume_centres)
    return corners_of, volume_of, np.concatenate(inner), closed[volume_of]


def _runs(values: np.ndarray):
    """(value, start, length) of each run of equal values."""
    starts = np.flatnonzero(np.diff(values, prepend=-1))
    return zip(values[starts], starts, np.diff(starts, append=len(values)))


def _shading_corners(triangles: np.ndarray, volumes: np.ndarray):
    """The corners that the shaded faces share, one per (point, volume) pair: each one's point and
    volume, and the triangles as rows of corners."""
    count = int(volumes.max(initial=0)) + 1
    corners, rows = np.unique((triangles * count + volumes[:, None]).reshape(-1), return_inverse=True)
    return corners // count, corners % count, rows.reshape(-1, 3)


def _slot_values(gmap: gorvinpy_bin.GMap3D, darts: np.ndarray):
    """The slots that hold a non-empty value on some dart (names like "<1,2,3>"), the text of
    every such value, and per dart and slot the value's index (-1: empty; -2 - j: a copy of j)."""
    values, records = _native.embedding_records(gmap)
    records = records[darts]
    value = np.where(records < -1, -2 - records, records)  # -1 stays -1
    indices = np.unique(value[value >= 0])
    empty = np.array([not values[int(j)] for j in indices], dtype=bool)
    value[np.isin(value, indices[empty])] = -1
    used = np.flatnonzero((value != -1).any(axis=0))
    records, value = records[:, used], value[:, used]
    indices = indices[~empty]
    renumbered = np.searchsorted(indices, value)
    records = np.where(value == -1, -1, np.where(records < -1, -2 - renumbered, renumbered))
    names = ["<" + ",".join(str(dim) for dim in range(4) if slot >> dim & 1) + ">" for slot in used]
    return names, [_text(values[int(j)]) for j in indices], records


def _text(value: object) -> str:
    text = repr(value)
    return text if len(text) <= VALUE_TEXT else text[: VALUE_TEXT - 3] + "..."
