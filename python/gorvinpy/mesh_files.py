"""Mesh files through meshio: every format it reads and writes, chosen by the file's suffix.

Volume cells (tetra, hexahedron, wedge, pyramid, polyhedra) become volumes sewn along shared faces.
Surface cells (triangle, quad, polygon) become faces sewn along shared edges, except those that lie on
a volume: a mesher writes the boundary of its volumes again as triangles, lines and points, which
are not added twice. Lines and points make no darts.
"""

from __future__ import annotations

from pathlib import Path
from typing import Dict, List, Optional, Sequence

import numpy as np

import gorvinpy_bin

from .meshio import PathLike
from .volumes import CELL_FACES, CellFaces, VolumeCellError, add_volumes, polygon_type, volume_cells

# Formats that hold only points and polygons: a G-map goes there as its faces.
SURFACE_SUFFIXES = frozenset({".stl", ".obj", ".off", ".ply"})
_POLYHEDRON_SUFFIXES = frozenset({".vtu", ".vtk"})
_SURFACE_TYPES = ("triangle", "quad", "polygon")
_POINT_AND_LINE_TYPES = ("vertex", "line")
# gmsh's files are written in its 2.2 format, which holds several cell types without entity tables.
_WRITE_FORMATS = {"gmsh": "gmsh22"}


class MeshFileError(ValueError):
    """A mesh file that cannot be read or written: the message starts with the file's path."""


def read_volume_mesh(path: PathLike, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Reads a mesh file with meshio into a G-map (a new one by default) and returns the G-map."""
    from .exchange import add_mesh

    mesh = _read(path)
    points = np.zeros((len(mesh.points), 3))
    points[:, : mesh.points.shape[1]] = mesh.points[:, :3]
    volumes = CellFaces()
    surfaces: List[Sequence[int]] = []
    for block in mesh.cells:
        kind = block.type
        if kind in CELL_FACES:
            volumes.add_cells(kind, block.data)
        elif kind.startswith("polyhedron"):
            volumes.add_polyhedra(kind, block.data)
        elif kind.startswith(_SURFACE_TYPES):
            surfaces.extend(np.asarray(face).tolist() for face in block.data)
        elif not kind.startswith(_POINT_AND_LINE_TYPES):
            raise MeshFileError(f"{path}: cells of type {kind!r} are not supported (linear cells only)")
    target = gmap if gmap is not None else gorvinpy_bin.Modeler3D().make_gmap()
    try:
        add_volumes(target, points, volumes)
    except VolumeCellError as error:
        raise MeshFileError(f"{path}: {error}") from None
    faces = _not_on_volumes(surfaces, volumes)
    if faces:
        add_mesh(target, points.tolist(), faces)
    return target


def write_volume_mesh(gmap: gorvinpy_bin.GMap3D, path: PathLike):
    """Writes a G-map with positions through meshio and returns the meshio.Mesh written.

    Formats of SURFACE_SUFFIXES get the faces; the others get each closed volume as a cell of its
    type (a polyhedron in .vtu and .vtk; elsewhere a volume of another shape raises VolumeCellError
    naming it) and the faces of open volumes as polygons.
    """
    import meshio  # type: ignore[import-untyped]

    preferred = _file_formats(path)[0]
    file_format = _WRITE_FORMATS.get(preferred, preferred)
    suffix = Path(path).suffix.lower()
    if suffix in SURFACE_SUFFIXES:
        from .exchange import to_mesh

        surface = to_mesh(gmap)
        points = np.asarray(surface.points, dtype=np.float64).reshape(-1, 3)
        blocks = _polygon_blocks(surface.faces, triangles_only=suffix == ".stl")
    else:
        cells = volume_cells(gmap, polyhedra=suffix in _POLYHEDRON_SUFFIXES, where=f"{path}")
        points, blocks = cells.points, cells.blocks
    mesh = meshio.Mesh(points, blocks)
    try:
        meshio.write(path, mesh, file_format=file_format)
    except (meshio.WriteError, ValueError, KeyError) as error:
        raise MeshFileError(f"{path}: {error}") from error
    return mesh


def _file_formats(path: PathLike) -> List[str]:
    """meshio's formats for the file's suffix, the likeliest first (.msh: gmsh's before ANSYS's).

    Raises MeshFileError when meshio knows no format by that suffix."""
    import meshio  # type: ignore[import-untyped]

    name = Path(path).name.lower()
    suffixes = [suffix for suffix in meshio.extension_to_filetypes if name.endswith(suffix)]
    if not suffixes:
        known = " ".join(sorted(meshio.extension_to_filetypes))
        raise MeshFileError(f"{path}: unknown mesh format {Path(path).suffix!r} (known: {known})")
    formats = meshio.extension_to_filetypes[max(suffixes, key=len)]
    return sorted(formats, key=lambda name: name != "gmsh")


def _read(path: PathLike):
    # meshio.read prints and exits the process when no reader takes the file: call its readers.
    from meshio._helpers import reader_map  # type: ignore[import-untyped]

    formats = _file_formats(path)
    if not Path(path).is_file():
        raise FileNotFoundError(f"{path}: no such file")
    errors = []
    for file_format in formats:
        try:
            with np.errstate(over="ignore"):  # meshio's STL reader multiplies a header count freely
                return reader_map[file_format](str(path))
        except Exception as error:  # meshio raises many kinds for a bad file; name the file in one
            errors.append(f"as {file_format}: {type(error).__name__}: {error}")
    raise MeshFileError(f"{path}: cannot be read " + "; ".join(errors))


def _not_on_volumes(surfaces: List[Sequence[int]], volumes: CellFaces) -> List[Sequence[int]]:
    """The surface faces whose corner set is no face of a volume."""
    if not surfaces or not volumes.faces:
        return surfaces
    on_volumes = {tuple(row[row >= 0]) for row in np.unique(volumes.keys(), axis=0)}
    return [face for face in surfaces if tuple(sorted(face)) not in on_volumes]


def _polygon_blocks(faces: Sequence[Sequence[int]], triangles_only: bool):
    """Faces as meshio blocks by corner count; fans of triangles where the format holds only those."""
    if triangles_only:
        faces = [[face[0], face[i], face[i + 1]] for face in faces for i in range(1, len(face) - 1)]
    by_size: Dict[int, List[Sequence[int]]] = {}
    for face in faces:
        by_size.setdefault(len(face), []).append(face)
    return [(polygon_type(k), np.asarray(group, dtype=np.int64)) for k, group in sorted(by_size.items())]
