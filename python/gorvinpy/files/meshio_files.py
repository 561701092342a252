"""Mesh files through meshio: every format it reads and writes, chosen by the file's suffix.

A file is read into a meshio.Mesh and that mesh into darts (meshio_objects.py): volume cells become
volumes, surface cells faces, point and cell data go with them. Writing chooses the cells by the
format: faces for surface formats, volume cells for the others.
"""

from __future__ import annotations

from pathlib import Path
from typing import List, Optional

import numpy as np

import gorvinpy_bin

from ..errors import GorvinError
from ..geometry.volumes import VolumeCellError
from .meshio_objects import from_meshio, to_meshio
from .polygon_files import PathLike

# Formats that hold only points and polygons: a G-map goes there as its faces.
SURFACE_SUFFIXES = frozenset({".stl", ".obj", ".off", ".ply"})
_POLYHEDRON_SUFFIXES = frozenset({".vtu", ".vtk"})
# gmsh's files are written in its 2.2 format, which holds several cell types without entity tables.
_WRITE_FORMATS = {"gmsh": "gmsh22"}


class MeshFileError(GorvinError, ValueError):
    """A mesh file that cannot be read or written: the message starts with the file's path."""


def read_volume_mesh(path: PathLike, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Reads a mesh file with meshio into a G-map (a new one by default) and returns the G-map."""
    mesh = _read(path)
    try:
        return from_meshio(mesh, gmap)
    except (VolumeCellError, ValueError) as error:
        raise MeshFileError(f"{path}: {error}") from None


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
    mesh = to_meshio(gmap, volumes=suffix not in SURFACE_SUFFIXES, polyhedra=suffix in _POLYHEDRON_SUFFIXES,
                     triangles_only=suffix == ".stl", where=f"{path}")
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
