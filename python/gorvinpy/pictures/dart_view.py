"""The exploded picture of a G-map's darts, on whole arrays.

Dart d at vertex v on edge e of face f is a segment that starts near v and runs towards the middle
of e, then is pulled towards the centre of f and a little towards the centre of its volume. So the
two darts of an edge inside a face (alpha0) sit end to end along it, the two darts of a corner
(alpha1) meet at the corner, and darts sewn by alpha2 or alpha3 lie side by side across faces or
volumes. A link along dimension i is drawn between the two darts' points at ATTACH[i] of their
lengths; a dart free along i is marked at that point.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

import gorvinpy_bin

from ..geometry.positions import positions
from ..geometry.volumes import GMapTables

SEGMENT = (0.1, 0.85)  # where a segment starts and ends, from its vertex to its edge's middle
FACE_PULL = 0.14  # share of the way to the face centre
VOLUME_PULL = 0.08  # share of the way to the volume centre
ATTACH = (1.0, 0.0, 0.45, 0.65)  # where alpha0 .. alpha3 links meet a segment, from its start
NO_DART = -1  # a link to a slot that holds no live dart


@dataclass
class DartPicture:
    """Live darts (ids ascending) and everything a picture of them needs, indexed by position in `darts`."""

    darts: np.ndarray  # (n,) ids
    links: np.ndarray  # (n, 4) positions of the alpha0 .. alpha3 partners (NO_DART: none live)
    start: np.ndarray  # (n, 3)
    end: np.ndarray  # (n, 3)
    vertex: np.ndarray  # (n,) row in points
    points: np.ndarray  # (p, 3) vertex positions
    vertex_ids: np.ndarray  # (p,) the smallest dart of each vertex
    face: np.ndarray  # (n,) row in face_centres (faces are <0,1> orbits)
    face_centres: np.ndarray
    volume: np.ndarray  # (n,) row in volume_centres (volumes are <0,1,2> orbits)
    volume_centres: np.ndarray

    @property
    def free(self) -> np.ndarray:
        """(n, 4): whether each dart is free along each dimension."""
        return self.links == np.arange(len(self.darts))[:, None]

    def attach(self, dim: int) -> np.ndarray:
        """(n, 3): where links along dim meet each dart, and where its free mark sits."""
        return self.start + ATTACH[dim] * (self.end - self.start)

    def link_pairs(self, dim: int) -> np.ndarray:
        """(m, 2) positions of the darts linked along dim, each link once (the smaller position first)."""
        partner = self.links[:, dim]
        first = np.flatnonzero(partner > np.arange(len(partner)))
        return np.stack([first, partner[first]], axis=1)


def dart_picture(gmap: gorvinpy_bin.GMap3D, tables: GMapTables | None = None) -> DartPicture:
    """The picture of every live dart of gmap; raises MissingPositionError for a vertex without a position."""
    tables = tables if tables is not None else GMapTables.of(gmap)
    live = tables.live
    vertex_ids, vertex = _ranks(tables.vertex[live], len(tables.links))
    points = positions(gmap, vertex_ids)
    links = _positions_of(tables.links[live], live, len(tables.links))
    at = points[vertex]
    face, face_centres = _means(tables.face[live], at, len(tables.links))
    volume, volume_centres = _means(tables.volume[live], at, len(tables.links))
    face_centre, volume_centre = face_centres[face], volume_centres[volume]
    partner = links[:, 0]
    has_edge = (partner != NO_DART) & (partner != np.arange(len(live)))
    far = np.where(has_edge[:, None], at[np.where(has_edge, partner, 0)], face_centre)
    middle = (at + far) / 2

    def pulled(point: np.ndarray) -> np.ndarray:
        point += FACE_PULL * (face_centre - point)
        point += VOLUME_PULL * (volume_centre - point)
        return point

    start = pulled(at + SEGMENT[0] * (middle - at))
    end = pulled(at + SEGMENT[1] * (middle - at))
    return DartPicture(live, links, start, end, vertex, points, vertex_ids, face, face_centres, volume,
                       volume_centres)


def _positions_of(links: np.ndarray, live: np.ndarray, slots: int) -> np.ndarray:
    """Link targets (slot ids, any value) as positions in live, NO_DART for no live dart."""
    position = np.full(slots + 1, NO_DART, dtype=np.int64)
    position[live] = np.arange(len(live))
    return position[np.where((links >= 0) & (links < slots), links, slots)]


def _ranks(labels: np.ndarray, bound: int):
    """The distinct labels (all below bound) ascending, and the row of each label among them; in
    time linear in the labels and the bound, without sorting."""
    present = np.zeros(bound, dtype=bool)
    present[labels] = True
    return np.flatnonzero(present), (np.cumsum(present) - 1)[labels]


def _means(labels: np.ndarray, points: np.ndarray, bound: int):
    """Each dart's row among the distinct labels (below bound), and the mean point of each label's darts."""
    _, row = _ranks(labels, bound)
    counts = np.bincount(row)
    means = np.stack([np.bincount(row, weights=points[:, axis]) / counts for axis in range(3)], axis=1)
    return row, means.reshape(-1, 3)
