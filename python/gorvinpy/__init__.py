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
from .meshio import MeshFormatError, PolygonMesh, read_mesh, read_obj, read_off, write_obj, write_ply
from .operations import cube, extrude, insert_vertex, mesh, polygon, quad_subdivide, triangulate
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

__all__ = [
    "BatchExpression",
    "CellCounts",
    "MeshFormatError",
    "MissingPositionError",
    "POSITION",
    "PointRule",
    "PolygonMesh",
    "Rows",
    "add_mesh",
    "apply",
    "cell_counts",
    "check_gmap",
    "condition_errors",
    "cube",
    "edge_midpoint",
    "euler_characteristic",
    "export_mesh",
    "expression",
    "extrude",
    "face_centre",
    "import_mesh",
    "insert_vertex",
    "involution_errors",
    "is_gmap",
    "live_darts",
    "mesh",
    "polygon",
    "position",
    "position_expression",
    "quad_subdivide",
    "read_mesh",
    "read_obj",
    "read_off",
    "render_png",
    "set_position",
    "to_mesh",
    "triangulate",
    "volume_centre",
    "write_obj",
    "write_ply",
]
