"""Polygon mesh files: Wavefront OBJ and OFF readers, OBJ and ASCII PLY writers.

A mesh holds its points as an (n, 3) float64 array and its faces as flat arrays of 0-based point
indices; it also gives them as lists (points as (x, y, z) float tuples, faces as lists of indices).
OBJ and OFF files are read by the compiled companion module; a file that cannot be read as a polygon
mesh raises MeshFormatError, which names the file and the line.
"""

from __future__ import annotations

import os
from functools import cached_property
from pathlib import Path
from typing import Any, Callable, Dict, List, Mapping, Sequence, TypeVar, Union

import numpy as np

from .. import _native
from ..errors import GorvinError
from ..geometry.point import Point
from ..geometry.polygons import face_arrays, point_array

PathLike = Union[str, "os.PathLike[str]"]
_T = TypeVar("_T")


class MeshFormatError(GorvinError, ValueError):
    """A mesh file that cannot be read: the message starts with "file:line:"."""

    def __init__(self, source: str, line: int, message: str):
        super().__init__(f"{source}:{line}: {message}")
        self.source = source
        self.line = line


class PolygonMesh:
    """Points and faces; each face lists 0-based point indices in order around it.

    The arrays, read-only: `coordinates` (n, 3) float64, and `corners` (int64, the point indices of
    one face after another) with `offsets` (face f is corners[offsets[f]:offsets[f + 1]]). The lists
    `points` and `faces` are built from them once, on first use.
    """

    def __init__(self, points: Any = (), faces: Any = ()):
        self.coordinates = point_array(points)
        self.corners, self.offsets = face_arrays(faces)
        for array in (self.coordinates, self.corners, self.offsets):
            array.flags.writeable = False

    @classmethod
    def from_arrays(cls, coordinates: np.ndarray, corners: np.ndarray, offsets: np.ndarray) -> "PolygonMesh":
        """A mesh over arrays already in shape (face f: corners[offsets[f]:offsets[f + 1]])."""
        mesh = cls.__new__(cls)
        mesh.coordinates, mesh.corners, mesh.offsets = coordinates, corners, offsets
        for array in (coordinates, corners, offsets):
            array.flags.writeable = False
        return mesh

    @cached_property
    def points(self) -> List[Point]:
        return [tuple(point) for point in self.coordinates.tolist()]  # type: ignore[misc]

    @cached_property
    def faces(self) -> List[List[int]]:
        corners = self.corners.tolist()
        bounds = self.offsets.tolist()
        return [corners[start:end] for start, end in zip(bounds, bounds[1:])]

    def __len__(self) -> int:
        return len(self.offsets) - 1

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, PolygonMesh):
            return NotImplemented
        return (
            np.array_equal(self.coordinates, other.coordinates)
            and np.array_equal(self.corners, other.corners)
            and np.array_equal(self.offsets, other.offsets)
        )

    def __repr__(self) -> str:
        return f"PolygonMesh({len(self.coordinates)} points, {len(self)} faces)"


def read_mesh(path: PathLike) -> PolygonMesh:
    """Reads an .obj or .off file, chosen by the file's suffix."""
    return by_suffix(path, _READERS)(path)


def by_suffix(path: PathLike, table: Mapping[str, _T]) -> _T:
    """The entry of table for the path's suffix (any case); a ValueError naming the known suffixes if none."""
    suffix = Path(path).suffix.lower()
    if suffix not in table:
        raise ValueError(f"{path}: unknown mesh format {suffix!r} (expected {' or '.join(table)})")
    return table[suffix]


def read_obj(path: PathLike) -> PolygonMesh:
    """Reads the vertices and faces of a Wavefront OBJ file; other statements are ignored."""
    return _read_text(path, "obj")


def read_off(path: PathLike) -> PolygonMesh:
    """Reads an ASCII OFF file (with or without its header keyword; colours and normals are skipped)."""
    return _read_text(path, "off")


def _read_text(path: PathLike, kind: str) -> PolygonMesh:
    try:
        arrays = _native.read_mesh_text(os.fsdecode(path), kind)
    except _native.MeshTextError as error:
        raise MeshFormatError(str(path), *error.args) from None
    return PolygonMesh.from_arrays(*arrays)


_READERS: Dict[str, Callable[[PathLike], PolygonMesh]] = {".obj": read_obj, ".off": read_off}


def write_obj(path: PathLike, points: Any, faces: Any) -> None:
    """Writes points and faces (0-based indices) as a Wavefront OBJ file."""
    write_mesh_obj(path, PolygonMesh(points, faces))


def write_mesh_obj(path: PathLike, mesh: PolygonMesh) -> None:
    """Writes a mesh as a Wavefront OBJ file."""
    _native.write_obj(os.fsdecode(path), mesh.coordinates, mesh.corners, mesh.offsets)


def write_ply(path: PathLike, points: Sequence[Sequence[float]], faces: Sequence[Sequence[int]]) -> None:
    """Writes points and faces (0-based indices) as an ASCII PLY file."""
    count_type = "uchar" if all(len(face) < 256 for face in faces) else "uint"
    header = [
        "ply",
        "format ascii 1.0",
        "comment written by gorvinpy",
        f"element vertex {len(points)}",
        "property double x",
        "property double y",
        "property double z",
        f"element face {len(faces)}",
        f"property list {count_type} int vertex_indices",
        "end_header",
    ]
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(header) + "\n")
        for x, y, z in points:
            out.write(f"{float(x)!r} {float(y)!r} {float(z)!r}\n")
        for face in faces:
            out.write(" ".join(str(value) for value in (len(face), *face)) + "\n")
