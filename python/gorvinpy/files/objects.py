"""trimesh and PyVista objects in and out of G-maps, on whole arrays, with their point and cell data.

- `from_trimesh(mesh)`: each triangle a face, sewn along shared edges; `vertex_attributes` and
  `face_attributes` as point and cell data. `to_trimesh(gmap)`: the faces cut into fans of triangles,
  each triangle carrying its face's data.
- `from_pyvista(dataset)`: a PolyData's polygons as faces (its vertices and lines make no darts);
  any other dataset as its unstructured grid, cells as in `from_meshio`. `to_pyvista(gmap)`: a
  PolyData of the faces, or an UnstructuredGrid of the volume cells (by default when some darts
  are sewn along alpha3).
Each takes an optional G-map to add to and returns the G-map; see mesh_data.py for the data.
"""

from __future__ import annotations

from typing import Any, Dict, Optional

import numpy as np

import gorvinpy_bin

from ..geometry.polygons import fan_triangles, point_array, vtk_cells
from .mesh_darts import add_polygon_darts, surface
from .mesh_data import FACE_SLOT, VERTEX_SLOT, read_data, store_data
from .meshio_objects import from_meshio, has_volumes, to_meshio


def from_trimesh(mesh: Any, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Adds a trimesh.Trimesh to a G-map (a new one by default) and returns the G-map."""
    faces = np.asarray(mesh.faces, dtype=np.int64).reshape(-1, 3)
    return _add_faces(gmap, mesh.vertices, faces.reshape(-1), np.arange(0, faces.size + 1, 3),
                      mesh.vertex_attributes, mesh.face_attributes)


def to_trimesh(gmap: gorvinpy_bin.GMap3D):
    """The faces of a G-map as a trimesh.Trimesh (not processed: vertices and faces as they are)."""
    import trimesh

    faces = surface(gmap)
    point_data: Dict[str, Any] = read_data(gmap, faces.point_darts, VERTEX_SLOT)
    triangles, face = fan_triangles(faces.mesh.corners, faces.mesh.offsets)
    face_data = read_data(gmap, faces.face_darts, FACE_SLOT)
    return trimesh.Trimesh(
        vertices=np.array(faces.mesh.coordinates), faces=triangles, process=False, validate=False,
        vertex_attributes=point_data,
        face_attributes={name: values[face] for name, values in face_data.items()},
    )


def from_pyvista(dataset: Any, gmap: Optional[gorvinpy_bin.GMap3D] = None) -> gorvinpy_bin.GMap3D:
    """Adds a PyVista dataset to a G-map (a new one by default) and returns the G-map."""
    import pyvista

    if not isinstance(dataset, pyvista.PolyData):
        return from_meshio(pyvista.to_meshio(dataset.cast_to_unstructured_grid()), gmap)
    if dataset.n_strips:
        raise ValueError("PolyData with triangle strips: call its triangulate() first")
    from vtkmodules.util.numpy_support import vtk_to_numpy

    polygons = dataset.GetPolys()
    corners = vtk_to_numpy(polygons.GetConnectivityArray()).astype(np.int64)
    offsets = vtk_to_numpy(polygons.GetOffsetsArray()).astype(np.int64)
    first = dataset.n_verts + dataset.n_lines  # VTK orders cells: vertices, lines, polygons, strips
    cell_data = {name: np.asarray(dataset.cell_data[name])[first:first + len(offsets) - 1]
                 for name in dataset.cell_data.keys()}
    point_data = {name: np.asarray(dataset.point_data[name]) for name in dataset.point_data.keys()}
    return _add_faces(gmap, dataset.points, corners, offsets, point_data, cell_data)


def to_pyvista(gmap: gorvinpy_bin.GMap3D, volumes: Optional[bool] = None):
    """The G-map as a pyvista.PolyData of its faces, or as a pyvista.UnstructuredGrid of its volume
    cells (volumes True; None: when some darts are sewn along alpha3), with point and cell data."""
    import pyvista

    if volumes is None:
        volumes = has_volumes(gmap)
    if volumes:
        return pyvista.from_meshio(to_meshio(gmap, volumes=True))
    faces = surface(gmap)
    polydata = pyvista.PolyData(np.array(faces.mesh.coordinates), vtk_cells(faces.mesh.corners, faces.mesh.offsets))
    for name, values in read_data(gmap, faces.point_darts, VERTEX_SLOT).items():
        polydata.point_data[name] = values
    for name, values in read_data(gmap, faces.face_darts, FACE_SLOT).items():
        polydata.cell_data[name] = values
    return polydata


def _add_faces(gmap, points, corners, offsets, point_data, cell_data) -> gorvinpy_bin.GMap3D:
    coordinates = point_array(points)
    target = gmap if gmap is not None else gorvinpy_bin.Modeler3D().make_gmap()
    darts, vertex = add_polygon_darts(target, coordinates, corners, offsets)
    store_data(target, darts, vertex, VERTEX_SLOT, point_data, len(coordinates), "point")
    face = np.repeat(np.arange(len(offsets) - 1), 2 * np.diff(offsets))
    store_data(target, darts, face, FACE_SLOT, cell_data, len(offsets) - 1, "face")
    return target
