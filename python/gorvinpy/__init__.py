"""Modelling with Gorvin G-maps: ready rules, mesh files, checks and pictures.

Built only on the public interface of the `gorvinpy_bin` extension. Positions are tuples of three
floats stored under "position" in the vertex-orbit slot (orbit <1,2,3>) of every dart.
"""

from .batch import BatchExpression, Rows, apply, expression, position_expression
from .checks import (
    CellCounts,
    cell_counts,
    check_gmap,
    condition_errors,
    euler_characteristic,
    involution_errors,
    is_gmap,
    live_darts,
)
from .exchange import add_mesh, export_mesh, import_mesh, to_mesh
from .html import export_html
from .mesh_files import MeshFileError, read_volume_mesh, write_volume_mesh
from .meshio import MeshFormatError, PolygonMesh, read_mesh, read_obj, read_off, write_obj, write_ply
from .meshio_objects import from_meshio, to_meshio
from .named_operations import Operation, OperationError, apply_to_parts, known_operations
from .objects import from_pyvista, from_trimesh, to_pyvista, to_trimesh
from .operations import cube, extrude, insert_vertex, mesh, polygon, quad_subdivide, triangulate
from .parallel import FileTaskError, process_files, read_gmap
from .positions import (
    POSITION,
    MissingPositionError,
    PointRule,
    edge_midpoint,
    face_centre,
    position,
    set_position,
    volume_centre,
)
from .render import render_png
from .storage import StorageError, load, save
from .volume_operations import extrude_volume, sew_volumes, tetrahedralize, unsew_volumes
from .volumes import CELL_FACES, CellFaces, VolumeCellError, add_volumes, volume_cells

__all__ = [
    "BatchExpression",
    "CELL_FACES",
    "CellCounts",
    "CellFaces",
    "FileTaskError",
    "MeshFileError",
    "MeshFormatError",
    "MissingPositionError",
    "Operation",
    "OperationError",
    "POSITION",
    "PointRule",
    "PolygonMesh",
    "Rows",
    "StorageError",
    "VolumeCellError",
    "add_mesh",
    "add_volumes",
    "apply",
    "apply_to_parts",
    "cell_counts",
    "check_gmap",
    "condition_errors",
    "cube",
    "edge_midpoint",
    "euler_characteristic",
    "export_html",
    "export_mesh",
    "expression",
    "extrude",
    "extrude_volume",
    "face_centre",
    "from_meshio",
    "from_pyvista",
    "from_trimesh",
    "import_mesh",
    "insert_vertex",
    "involution_errors",
    "is_gmap",
    "known_operations",
    "live_darts",
    "load",
    "mesh",
    "polygon",
    "position",
    "position_expression",
    "process_files",
    "quad_subdivide",
    "read_mesh",
    "read_obj",
    "read_off",
    "read_gmap",
    "read_volume_mesh",
    "render_png",
    "save",
    "set_position",
    "sew_volumes",
    "tetrahedralize",
    "to_mesh",
    "to_meshio",
    "to_pyvista",
    "to_trimesh",
    "triangulate",
    "unsew_volumes",
    "volume_cells",
    "volume_centre",
    "write_obj",
    "write_ply",
    "write_volume_mesh",
]
