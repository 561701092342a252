"""Volume cells as darts, and darts back as volume cells.

A cell (tetrahedron, hexahedron, wedge, pyramid, or a polyhedron given by its faces) becomes one
volume. A face with corners v0 .. vk-1 gets 2k darts: dart 2i lies at vi and dart 2i+1 at vi+1, both
on the edge (vi, vi+1); alpha0 joins the two darts of an edge and alpha1 the two darts of a corner.
alpha2 joins two faces of one cell, and alpha3 two cells that share a face, each time dart to dart at
the same vertex and edge. The layout and the sewing are the compiled companion's volume_layout, the
polygon layout with cells; the rest works on whole arrays.

Back from a G-map, a closed volume (no dart free along alpha2) whose faces and vertices have the
counts of a tetrahedron, hexahedron, wedge or pyramid becomes a cell of that type, its corners in the
usual order (the first face turned so that the cell has a positive volume); another closed volume
becomes a polyhedron, given by its faces.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Dict, List, Sequence, Tuple

import numpy as np

import gorvinpy_bin

from .. import _native
from ..errors import GorvinError

# The faces of each cell type as corner cycles, every face turned outwards for a cell of positive volume.
CELL_FACES: Dict[str, Tuple[Tuple[int, ...], ...]] = {
    "tetra": ((0, 1, 3), (1, 2, 3), (2, 0, 3), (0, 2, 1)),
    "hexahedron": ((0, 4, 7, 3), (1, 2, 6, 5), (0, 1, 5, 4), (3, 7, 6, 2), (0, 3, 2, 1), (4, 5, 6, 7)),
    "wedge": ((0, 1, 2), (3, 5, 4), (0, 3, 4, 1), (1, 4, 5, 2), (2, 5, 3, 0)),
    "pyramid": ((0, 3, 2, 1), (0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)),
}


@dataclass(frozen=True)
class _Shape:
    """How a cell type is recognised in a volume, and how its corners are read from darts.

    The corners are the cycle of a first face (of `first_face_corners` corners) followed by the
    vertices one edge away from its first `raised` corners; `first_face_out` says whether the first
    face, read in that order, turns outwards (its normal pointing away from the other corners).
    """

    triangles: int
    quadrangles: int
    vertices: int
    first_face_corners: int
    raised: int
    first_face_out: bool


_SHAPES = {
    "tetra": _Shape(4, 0, 4, 3, 1, False),
    "hexahedron": _Shape(0, 6, 8, 4, 4, False),
    "wedge": _Shape(2, 3, 6, 3, 3, True),
    "pyramid": _Shape(4, 1, 5, 4, 1, False),
}


class VolumeCellError(GorvinError, ValueError):
    """A cell that cannot become a volume, or a volume that a file cannot hold."""


@dataclass
class CellFaces:
    """Faces of volume cells: each face lists its corners and the cell it bounds (cells numbered from 0)."""

    faces: List[np.ndarray] = field(default_factory=list)  # one (f, k) array per corner count k
    cells: List[np.ndarray] = field(default_factory=list)  # the cell of each face, per array
    names: List[str] = field(default_factory=list)  # the type of each cell, for messages
    count: int = 0

    def add_cells(self, cell_type: str, cells: np.ndarray) -> None:
        """Adds cells of a type of CELL_FACES, given as an (m, corners) array of point indices."""
        cells = np.asarray(cells, dtype=np.int64).reshape(len(cells), -1)
        corner_count = 1 + max(max(face) for face in CELL_FACES[cell_type])
        if len(cells) and cells.shape[1] != corner_count:
            raise VolumeCellError(f"{cell_type} cells have {corner_count} corners, not {cells.shape[1]}")
        numbers = np.arange(self.count, self.count + len(cells))
        for corners in CELL_FACES[cell_type]:
            self._add_faces(cells[:, corners], numbers)
        self._name(cell_type, len(cells))

    def add_polyhedra(self, cell_type: str, polyhedra: Sequence[Sequence[Sequence[int]]]) -> None:
        """Adds cells given each as a list of faces, each face a cycle of point indices."""
        by_size: Dict[int, Tuple[List[Sequence[int]], List[int]]] = {}
        for number, polyhedron in enumerate(polyhedra, start=self.count):
            for face in polyhedron:
                faces, cells = by_size.setdefault(len(face), ([], []))
                faces.append(face)
                cells.append(number)
        for faces, cells in by_size.values():
            self._add_faces(np.asarray(faces, dtype=np.int64), np.asarray(cells, dtype=np.int64))
        self._name(cell_type, len(polyhedra))

    def _add_faces(self, faces: np.ndarray, cells: np.ndarray) -> None:
        self.faces.append(faces)
        self.cells.append(cells)

    def _name(self, cell_type: str, count: int) -> None:
        self.names.extend([cell_type] * count)
        self.count += count

    def keys(self) -> np.ndarray:
        """Each face's corners sorted and padded with -1, one row per face in array order."""
        width = max((faces.shape[1] for faces in self.faces), default=0)
        rows = [np.pad(np.sort(faces, axis=1), ((0, 0), (0, width - faces.shape[1])), constant_values=-1)
                for faces in self.faces]
        return np.concatenate(rows) if rows else np.zeros((0, 0), dtype=np.int64)


@dataclass
class DartBlock:
    """Darts numbered from 0, before they exist in a G-map: links (a free dart to itself) and the point of each."""

    links: np.ndarray  # (n, 4) int64
    vertex: np.ndarray  # (n,) int64
    cell: np.ndarray  # (n,) int64: the cell of each dart, numbered as in its CellFaces


def volume_darts(cells: CellFaces, point_count: int) -> DartBlock:
    """Lays out the darts of cells, sewn along alpha2 inside each cell and along alpha3 across shared faces.

    Raises VolumeCellError naming the cell for a point index out of range or a face that repeats a
    corner, naming the cell for an edge of more than two of its faces, and naming the face for a
    face of more than two cells.
    """
    _check_corners(cells, point_count)
    if not cells.faces:
        return DartBlock(np.zeros((0, 4), np.int64), np.zeros(0, np.int64), np.zeros(0, np.int64))
    corners = np.concatenate([faces.reshape(-1) for faces in cells.faces])
    sizes = np.concatenate([np.full(len(faces), faces.shape[1]) for faces in cells.faces])
    offsets = np.r_[0, np.cumsum(sizes)]
    owners = np.concatenate(cells.cells)
    vertex, links, fault = _native.volume_layout(corners, offsets, owners, point_count)
    if fault is not None:
        raise _shared_too_often(cells, owners, corners, offsets, *fault)
    return DartBlock(links.astype(np.int64), vertex, np.repeat(owners, 2 * sizes))


def add_volumes(gmap: gorvinpy_bin.GMap3D, points: np.ndarray, cells: CellFaces) -> range:
    """Adds cells as volumes with their corner positions; returns the ids of the new darts."""
    return add_volume_darts(gmap, points, volume_darts(cells, len(points)))


def add_volume_darts(gmap: gorvinpy_bin.GMap3D, points: np.ndarray, block: DartBlock) -> range:
    """Adds the darts of a block with the positions of their points; returns their ids."""
    first = _native.append_darts(gmap, block.links)
    darts = np.arange(first, first + len(block.vertex))
    _native.set_positions(gmap, darts, np.asarray(points, dtype=np.float64)[block.vertex])
    return range(first, first + len(block.vertex))


def _shared_too_often(cells: CellFaces, owners: np.ndarray, corners: np.ndarray, offsets: np.ndarray, dim: int,
                      dart: int):
    """The error for a dart of volume_layout's fault: its edge in more than two faces of its cell
    (dim 2), or its face in more than two cells (dim 3)."""
    face = np.searchsorted(offsets, dart // 2, side="right") - 1
    if dim == 2:
        cell = owners[face]
        return VolumeCellError(f"an edge of cell {cell} ({cells.names[cell]}) is shared by more than two faces")
    face_corners = sorted(corners[offsets[face] : offsets[face + 1]].tolist())
    return VolumeCellError(f"face {face_corners} is shared by more than two cells")


def _check_corners(cells: CellFaces, point_count: int) -> None:
    for faces, owners in zip(cells.faces, cells.cells):
        bad = (faces < 0).any(axis=1) | (faces >= point_count).any(axis=1)
        ordered = np.sort(faces, axis=1)
        repeated = (ordered[:, 1:] == ordered[:, :-1]).any(axis=1)
        small = np.full(len(faces), faces.shape[1] < 3)
        problems = (("a point index out of range", bad), ("a face that repeats a corner", repeated),
                    ("a face of fewer than 3 corners", small))
        for problem, mask in problems:
            if mask.any():
                number = int(owners[np.argmax(mask)])
                raise VolumeCellError(
                    f"cell {number} ({cells.names[number]}) has {problem}: {faces[np.argmax(mask)].tolist()}"
                )


@dataclass
class GMapTables:
    """Whole-G-map arrays: links of every slot, live darts, and the cell labels export needs."""

    links: np.ndarray
    live: np.ndarray  # ids of live darts
    vertex: np.ndarray  # labels over <1,2,3>
    face: np.ndarray  # labels over <0,1>
    volume: np.ndarray  # labels over <0,1,2>
    face_walks: np.ndarray  # the darts of each <0,1> face walked from its smallest dart, face after face
    face_offsets: np.ndarray  # face f: face_walks[face_offsets[f]:face_offsets[f + 1]], by smallest dart

    @classmethod
    def of(cls, gmap: gorvinpy_bin.GMap3D) -> "GMapTables":
        vertex, face, volume = (np.asarray(_native.cell_labels(gmap, dims), dtype=np.int64)
                                for dims in ([1, 2, 3], [0, 1], [0, 1, 2]))
        links = _native.links(gmap).astype(np.int64)
        walks, offsets = _native.face_darts(gmap)
        return cls(links, np.flatnonzero(_native.live_mask(gmap)), vertex, face, volume, walks, offsets)

    def step(self, darts: np.ndarray, *dims: int) -> np.ndarray:
        """The darts reached from darts along dims, in order."""
        for dim in dims:
            darts = self.links[darts, dim]
        return darts


@dataclass
class VolumeCells:
    """Cells read back from a G-map: blocks of (type, corners) and the points they index, with
    the smallest dart of each point and of each cell (a volume, or a face for polygon blocks)."""

    points: np.ndarray
    blocks: List[Tuple[str, object]]
    point_darts: np.ndarray
    cell_darts: List[np.ndarray]


def face_cycles(tables: GMapTables, darts: np.ndarray) -> Dict[int, Tuple[np.ndarray, np.ndarray]]:
    """The faces (<0,1> orbits) of the given darts as vertex-label cycles, grouped by corner count:
    {k: ((f, k) labels, (f,) first dart)}, faces in the order of their smallest dart."""
    starts = np.unique(tables.face[darts])
    face = np.searchsorted(tables.face_walks[tables.face_offsets[:-1]], starts)
    begin = tables.face_offsets[face]
    corners = tables.face_offsets[face + 1] - begin
    cycles = {}
    for k in np.unique(corners):
        chosen = corners == k
        walk = tables.face_walks[begin[chosen][:, None] + np.arange(k)]
        cycles[int(k)] = (tables.vertex[walk], starts[chosen])
    return cycles


def volume_cells(gmap: gorvinpy_bin.GMap3D, polyhedra: bool, where: str = "the file") -> VolumeCells:
    """The closed volumes of a G-map as cells, and the faces of its open volumes as polygons.

    polyhedra says whether a volume of another shape may become a polyhedron cell; otherwise it
    raises VolumeCellError naming the volume (its smallest dart) and `where`.
    """
    tables = GMapTables.of(gmap)
    live = tables.live
    volume_ids, volume_of_dart = np.unique(tables.volume[live], return_inverse=True)
    open_volume = np.zeros(len(volume_ids), dtype=bool)
    np.logical_or.at(open_volume, volume_of_dart, tables.links[live, 2] == live)
    vertex_ids, vertex_index = np.unique(tables.vertex[live], return_inverse=True)
    points = _native.positions(gmap, vertex_ids)
    number = np.zeros(len(tables.links), dtype=np.int64)
    number[live] = vertex_index
    blocks: List[Tuple[str, object]] = []
    cell_darts: List[np.ndarray] = []
    closed = ~open_volume
    shape_of = _shape_names(tables, volume_ids, volume_of_dart, closed)
    for name, shape in _SHAPES.items():
        chosen = volume_ids[shape_of == name]
        if len(chosen):
            corners = _corners(tables, gmap, chosen, shape)
            blocks.append((name, number[corners]))
            cell_darts.append(chosen)
    others = volume_ids[closed & (shape_of == "")]
    if len(others) and not polyhedra:
        raise VolumeCellError(
            f"volume of dart {int(others[0])} is no tetrahedron, hexahedron, wedge or pyramid, and "
            f"{where} has no polyhedron cells"
        )
    if len(others):
        blocks.append(("polyhedron", _polyhedra(tables, live[np.isin(tables.volume[live], others)], number)))
        cell_darts.append(others)
    open_darts = live[open_volume[volume_of_dart]]
    for k, (cycles, first) in sorted(face_cycles(tables, open_darts).items()):
        blocks.append((polygon_type(k), number[cycles]))
        cell_darts.append(first)
    return VolumeCells(points, blocks, vertex_ids, cell_darts)


def polygon_type(corners: int) -> str:
    """meshio's name of a polygon cell with that many corners."""
    return {3: "triangle", 4: "quad"}.get(corners, "polygon")


def _shape_names(tables, volume_ids, volume_of_dart, closed) -> np.ndarray:
    """The CELL_FACES type of each volume whose counts match one, else ""."""
    live = tables.live
    faces, face_volume = np.unique(tables.face[live], return_index=True)
    face_size = np.bincount(tables.face[live], minlength=len(tables.face))[faces] // 2
    face_volume = volume_of_dart[face_volume]
    count = len(volume_ids)
    triangles = np.bincount(face_volume[face_size == 3], minlength=count)
    quadrangles = np.bincount(face_volume[face_size == 4], minlength=count)
    others = np.bincount(face_volume[face_size > 4], minlength=count)
    corner_pairs = np.unique(np.stack([volume_of_dart, tables.vertex[live]], axis=1), axis=0)
    vertices = np.bincount(corner_pairs[:, 0], minlength=count)
    names = np.full(count, "", dtype=object)
    for name, shape in _SHAPES.items():
        match = (closed & (triangles == shape.triangles) & (quadrangles == shape.quadrangles)
                 & (others == 0) & (vertices == shape.vertices))
        names[match] = name
    return names


def _corners(tables: GMapTables, gmap, volumes: np.ndarray, shape: _Shape) -> np.ndarray:
    """The corner darts of volumes of one shape, in cell order: the first face, then raised corners."""
    live = tables.live
    size = np.bincount(tables.face[live], minlength=len(tables.face))
    candidates = live[np.isin(tables.volume[live], volumes) & (size[tables.face[live]] == 2 * shape.first_face_corners)]
    order = np.argsort(tables.volume[candidates], kind="stable")
    owners, first = np.unique(tables.volume[candidates[order]], return_index=True)
    start = candidates[order][first]
    corners = _walk_corners(tables, start, shape)
    p = _native.positions(gmap, corners[:, [0, 1, 2, shape.first_face_corners]].reshape(-1)).reshape(-1, 4, 3)
    turn = np.einsum("ij,ij->i", np.cross(p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]), p[:, 3] - p[:, 0])
    flip = (turn > 0) if shape.first_face_out else (turn < 0)
    if flip.any():
        corners[flip] = _walk_corners(tables, tables.links[start[flip], 1], shape)
    return tables.vertex[corners]


def _walk_corners(tables: GMapTables, start: np.ndarray, shape: _Shape) -> np.ndarray:
    face = [start]
    for _ in range(shape.first_face_corners - 1):
        face.append(tables.step(face[-1], 0, 1))
    raised = [tables.step(dart, 2, 1, 0) for dart in face[: shape.raised]]
    return np.stack(face + raised, axis=1)


def _polyhedra(tables: GMapTables, darts: np.ndarray, number: np.ndarray) -> List[List[np.ndarray]]:
    """Each volume of darts as a list of faces (point numbers), volumes in order of their smallest dart."""
    by_volume: Dict[int, List[np.ndarray]] = {}
    for k, (cycles, first) in face_cycles(tables, darts).items():
        for volume, cycle in zip(tables.volume[first].tolist(), number[cycles]):
            by_volume.setdefault(volume, []).append(cycle)
    return [by_volume[volume] for volume in sorted(by_volume)]
