"""Modelling with Gorvin G-maps: ready rules, mesh files, checks and pictures.

Built only on the public interface of the `gorvinpy_bin` extension. Positions are tuples of three
floats stored under "position" in the vertex-orbit slot (orbit <1,2,3>) of every dart.
"""

from .batch import BatchExpression, Rows, apply, expression, position_expression
from .builder import rule
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
from .operations import cube, extrude, insert_vertex, mesh, polygon, quad_subdivide, triangulate
from .point_rules import (
    cross,
    dot,
    face_normal,
    is_free,
    mean,
    normalized,
    orbit_size,
    vertex_normal,
    weight,
    where,
)
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
from .preconditions import RuleInputError
from .render import render_png
from .shape_operations import chamfer_edges, chamfer_vertices
from .storage import StorageError, load, save
from .subdivision import catmull_clark, doo_sabin, dual, loop_subdivide
from .volume_operations import extrude_volume, sew_volumes, subdivide_volumes, tetrahedralize, thicken, unsew_volumes
from .volumes import CELL_FACES, CellFaces, VolumeCellError, add_volumes, volume_cells

__all__ = [
    "BatchExpression",
    "CELL_FACES",
    "CellCounts",
    "CellFaces",
    "MeshFileError",
    "MeshFormatError",
    "MissingPositionError",
    "POSITION",
    "PointRule",
    "PolygonMesh",
    "Rows",
    "RuleInputError",
    "StorageError",
    "VolumeCellError",
    "add_mesh",
    "add_volumes",
    "apply",
    "catmull_clark",
    "cell_counts",
    "chamfer_edges",
    "chamfer_vertices",
    "check_gmap",
    "condition_errors",
    "cross",
    "cube",
    "doo_sabin",
    "dot",
    "dual",
    "edge_midpoint",
    "euler_characteristic",
    "export_html",
    "export_mesh",
    "expression",
    "extrude",
    "extrude_volume",
    "face_centre",
    "face_normal",
    "import_mesh",
    "insert_vertex",
    "involution_errors",
    "is_free",
    "is_gmap",
    "live_darts",
    "load",
    "loop_subdivide",
    "mean",
    "mesh",
    "normalized",
    "orbit_size",
    "polygon",
    "position",
    "position_expression",
    "quad_subdivide",
    "read_mesh",
    "read_obj",
    "read_off",
    "read_volume_mesh",
    "render_png",
    "rule",
    "save",
    "set_position",
    "sew_volumes",
    "subdivide_volumes",
    "tetrahedralize",
    "thicken",
    "to_mesh",
    "triangulate",
    "unsew_volumes",
    "vertex_normal",
    "volume_cells",
    "volume_centre",
    "weight",
    "where",
    "write_obj",
    "write_ply",
    "write_volume_mesh",
]
