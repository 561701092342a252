"""Modelling with Gorvin G-maps: ready rules, mesh files, checks and pictures.

Built only on the public interface of the `gorvinpy_bin` extension. Positions are tuples of three
floats stored under "position" in the vertex-orbit slot (orbit <1,2,3>) of every dart.
"""

from .checks.gmap_checks import (
    CellCounts,
    cell_counts,
    check_gmap,
    condition_errors,
    euler_characteristic,
    involution_errors,
    is_gmap,
    live_darts,
)
from .checks.rule_check import Finding, Witness, check_rule
from .errors import GorvinError
from .files.exchange import export_mesh, import_mesh
from .files.mesh_darts import add_mesh, to_mesh
from .files.meshio_files import MeshFileError, read_volume_mesh, write_volume_mesh
from .files.meshio_objects import from_meshio, to_meshio
from .files.objects import from_pyvista, from_trimesh, to_pyvista, to_trimesh
from .files.parallel import FileTaskError, process_files, read_gmap
from .files.polygon_files import MeshFormatError, PolygonMesh, read_mesh, read_obj, read_off, write_obj, write_ply
from .files.storage import StorageError, load, save
from .geometry.point_rules import (
    PointRule,
    cross,
    dot,
    edge_midpoint,
    face_centre,
    face_normal,
    is_free,
    mean,
    normalized,
    orbit_size,
    position,
    vertex_normal,
    volume_centre,
    weight,
    where,
)
from .geometry.positions import POSITION, MissingPositionError, set_position
from .geometry.volumes import CELL_FACES, CellFaces, VolumeCellError, add_volumes, volume_cells
from .operations.batch import BatchExpression, Rows, apply, expression, position_expression
from .operations.builder import rule
from .operations.cells import contract_edge, fill_hole, insert_edge, remove_edge, remove_face, remove_vertex
from .operations.chamfers import chamfer_edges, chamfer_vertices
from .operations.named import Operation, OperationError, apply_to_parts, known_operations
from .operations.preconditions import RuleInputError
from .operations.subdivision import catmull_clark, doo_sabin, dual, loop_subdivide
from .operations.surface import cube, extrude, insert_vertex, mesh, polygon, quad_subdivide, triangulate
from .operations.volumes import extrude_volume, sew_volumes, subdivide_volumes, tetrahedralize, thicken, unsew_volumes
from .pictures.html import export_html
from .pictures.notebook import show
from .pictures.render import render_png
from .pictures.rule_drawing import draw_rule

__all__ = [
    "BatchExpression",
    "CELL_FACES",
    "CellCounts",
    "CellFaces",
    "FileTaskError",
    "GorvinError",
    "Finding",
    "MeshFileError",
    "MeshFormatError",
    "MissingPositionError",
    "Operation",
    "OperationError",
    "POSITION",
    "PointRule",
    "PolygonMesh",
    "Rows",
    "RuleInputError",
    "StorageError",
    "VolumeCellError",
    "Witness",
    "add_mesh",
    "add_volumes",
    "apply",
    "apply_to_parts",
    "catmull_clark",
    "cell_counts",
    "chamfer_edges",
    "chamfer_vertices",
    "check_gmap",
    "check_rule",
    "condition_errors",
    "contract_edge",
    "cross",
    "cube",
    "doo_sabin",
    "dot",
    "draw_rule",
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
    "fill_hole",
    "from_meshio",
    "from_pyvista",
    "from_trimesh",
    "import_mesh",
    "insert_edge",
    "insert_vertex",
    "involution_errors",
    "is_free",
    "is_gmap",
    "known_operations",
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
    "process_files",
    "quad_subdivide",
    "read_gmap",
    "read_mesh",
    "read_obj",
    "read_off",
    "read_volume_mesh",
    "remove_edge",
    "remove_face",
    "remove_vertex",
    "render_png",
    "rule",
    "save",
    "set_position",
    "sew_volumes",
    "show",
    "subdivide_volumes",
    "tetrahedralize",
    "thicken",
    "to_mesh",
    "to_meshio",
    "to_pyvista",
    "to_trimesh",
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
