"""Polygon mesh files: Wavefront OBJ and OFF readers, OBJ and ASCII PLY writers.

A mesh holds its points as an (n, 3) float64 array and its faces as flat arrays of 0-based point
indices; it also gives them as lists (points as (x, y, z) float tuples, faces as lists of indices).
Well-formed OBJ and OFF files are read by the compiled companion module; anything else goes through
the readers here, so that a file that cannot be read as a polygon mesh raises MeshFormatError,
which names the file and the line.
"""

from __future__ import annotations

import os
from functools import cached_property
from pathlib import Path
from typing import (
    Any,
    Callable,
    Dict,
    Iterator,
    List,
    Mapping,
    Optional,
    Sequence,
    Tuple,
    TypeVar,
    Union,
)

import numpy as np

from .. import _native
from ..errors import GorvinError
from ..geometry.point import Point
from ..geometry.polygons import face_arrays, point_array

PathLike = Union[str, "os.PathLike[str]"]
_T = TypeVar("_T")

# OBJ statements that carry no polygon geometry; they are read and ignored.
_OBJ_IGNORED = frozenset(
    "vt vn vp l p g o s mg usemtl mtllib maplib usemap lod shadow_obj trace_obj bevel c_interp "
    "d_interp ctech stech cstype deg bmat step curv curv2 surf parm trim hole scrv sp end con call "
    "csh".split()
)
_OBJ_IGNORED_LIST = sorted(_OBJ_IGNORED)


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
    return _fast_read(path, "obj") or _read_obj_text(str(path))


def read_off(path: PathLike) -> PolygonMesh:
    """Reads an ASCII OFF file (with or without its header keyword; colours and normals are skipped)."""
    return _fast_read(path, "off") or _read_off_text(str(path))


def _fast_read(path: PathLike, kind: str) -> Optional[PolygonMesh]:
    """The mesh of a well-formed file, read natively; None when the file needs a closer look."""
    arrays = _native.read_mesh_text(os.fsdecode(path), kind, _OBJ_IGNORED_LIST)
    return PolygonMesh.from_arrays(*arrays) if arrays is not None else None


def _read_obj_text(source: str) -> PolygonMesh:
    points: List[Point] = []
    faces: List[List[int]] = []
    face_lines: List[int] = []
    for number, words in _obj_statements(source):
        keyword, args = words[0], words[1:]
        if keyword == "v":
            points.append(_point(args, source, number))
        elif keyword in ("f", "fo"):
            if len(args) < 3:
                raise MeshFormatError(source, number, f"a face needs at least 3 vertices, got {len(args)}")
            faces.append([_obj_index(arg, len(points), source, number) for arg in args])
            face_lines.append(number)
        elif keyword not in _OBJ_IGNORED:
            raise MeshFormatError(source, number, f"unknown statement {keyword!r}")
    for face, number in zip(faces, face_lines):
        _check_indices(face, len(points), 1, source, number)
    return PolygonMesh(points, faces)


def _read_off_text(source: str) -> PolygonMesh:
    lines = _off_lines(source)
    number, words = next(lines, (0, []))
    if not words:
        raise MeshFormatError(source, number, "empty file")
    if not _is_number(words[0]):
        _check_off_keyword(words, source, number)
        words = words[1:]
        if not words:
            number, words = next(lines, (number, []))
    counts = [_int(word, source, number, "count") for word in words[:2]]
    if len(counts) < 2 or min(counts) < 0:
        raise MeshFormatError(source, number, "expected the vertex and face counts")
    vertex_count, face_count = counts
    points: List[Point] = []
    faces: List[List[int]] = []
    for _ in range(vertex_count):
        number, words = _next_line(lines, source, number, f"{vertex_count} vertices")
        points.append(_point(words, source, number))
    for _ in range(face_count):
        number, words = _next_line(lines, source, number, f"{face_count} faces")
        faces.append(_off_face(words, vertex_count, source, number))
    for number, _ in lines:
        raise MeshFormatError(source, number, f"unexpected content after the {face_count} faces")
    return PolygonMesh(points, faces)


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


def _text_lines(source: str) -> Iterator[Tuple[int, str]]:
    try:
        with open(source, encoding="utf-8") as stream:
            yield from enumerate(stream, start=1)
    except UnicodeDecodeError as error:
        raise MeshFormatError(source, 0, f"not a text file ({error.reason})") from None


def _obj_statements(source: str) -> Iterator[Tuple[int, List[str]]]:
    """Yields (line number, words) per statement, joining lines continued by a backslash."""
    pending: List[str] = []
    start = 0
    for number, line in _text_lines(source):
        text = line.split("#", 1)[0].rstrip()
        continued = text.endswith("\\")
        pending.append(text[:-1] if continued else text)
        start = start or number
        if not continued:
            yield from _statement(start, pending)
            pending, start = [], 0
    yield from _statement(start, pending)


def _statement(start: int, pieces: List[str]) -> Iterator[Tuple[int, List[str]]]:
    words = " ".join(pieces).split()
    if words:
        yield start, words


def _off_lines(source: str) -> Iterator[Tuple[int, List[str]]]:
    for number, line in _text_lines(source):
        words = line.split("#", 1)[0].split()
        if words:
            yield number, words


def _check_off_keyword(words: List[str], source: str, number: int) -> None:
    keyword = words[0]
    if not keyword.endswith("OFF"):
        raise MeshFormatError(source, number, f"expected the OFF header, got {keyword!r}")
    prefix = keyword[:-3]
    if "4" in prefix or "n" in prefix:
        raise MeshFormatError(source, number, f"{keyword} is not a 3D OFF file")
    if set(prefix) - set("STCN"):
        raise MeshFormatError(source, number, f"unknown OFF variant {keyword!r}")
    if len(words) > 1 and words[1].upper() == "BINARY":
        raise MeshFormatError(source, number, "binary OFF files are not supported")


def _next_line(lines: Iterator[Tuple[int, List[str]]], source: str, last: int, expected: str):
    try:
        return next(lines)
    except StopIteration:
        raise MeshFormatError(source, last, f"file ends early: expected {expected}") from None


def _off_face(words: List[str], vertex_count: int, source: str, number: int) -> List[int]:
    size = _int(words[0], source, number, "face size")
    if size < 3:
        raise MeshFormatError(source, number, f"a face needs at least 3 vertices, got {size}")
    if len(words) < size + 1:
        raise MeshFormatError(source, number, f"face lists {len(words) - 1} of its {size} vertices")
    face = [_int(word, source, number, "vertex index") for word in words[1 : size + 1]]
    _check_indices(face, vertex_count, 0, source, number)
    return face


def _obj_index(word: str, defined: int, source: str, number: int) -> int:
    index = _int(word.split("/", 1)[0], source, number, "vertex index")
    if index == 0:
        raise MeshFormatError(source, number, "vertex index 0 (OBJ indices start at 1)")
    if index < -defined:
        raise MeshFormatError(source, number, f"relative index {index} goes back past the first vertex")
    return index - 1 if index > 0 else defined + index


def _check_indices(face: List[int], vertex_count: int, first: int, source: str, number: int) -> None:
    """Every index names a vertex; messages count vertices from first, as the file does."""
    for index in face:
        if not 0 <= index < vertex_count:
            raise MeshFormatError(
                source, number, f"face names vertex {index + first}, but the file has {vertex_count} vertices"
            )


def _point(words: List[str], source: str, number: int) -> Point:
    if len(words) < 3:
        raise MeshFormatError(source, number, f"a vertex needs 3 coordinates, got {len(words)}")
    x, y, z = (_float(word, source, number) for word in words[:3])
    return (x, y, z)


def _is_number(word: str) -> bool:
    try:
        float(word)
    except ValueError:
        return False
    return True


def _float(word: str, source: str, number: int) -> float:
    try:
        return float(word)
    except ValueError:
        raise MeshFormatError(source, number, f"{word!r} is not a number") from None


def _int(word: str, source: str, number: int, what: str) -> int:
    try:
        return int(word)
    except ValueError:
        raise MeshFormatError(source, number, f"{word!r} is not an integer {what}") from None
