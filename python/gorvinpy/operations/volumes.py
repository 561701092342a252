"""Volume operations, each a compiled Rule3D ready to apply, with positions for the darts it creates.

- `extrude_volume(vector)`: hook one dart of a face free along alpha3; a new prism volume grows
  on it, its bottom sewn along alpha3 to the face and its top the face moved by vector.
- `tetrahedralize()`: hook any dart of a connected part; every volume of the part is cut into
  tetrahedra by coning its faces to the face centres and those to the volume centre. A volume
  with faces of k1, k2, ... corners becomes k1 + k2 + ... tetrahedra, each with one original edge.
- `sew_volumes()`: hooks "n0" and "n1", two darts at the same vertex and edge of two faces with
  as many corners, both free along alpha3: the two volumes are sewn along alpha3 at those faces.
- `unsew_volumes()`: hook a dart of a face sewn along alpha3: the face and its partner come apart.
- `subdivide_volumes()`: hook any dart of a connected part; every volume of the part is split into
  one cell per corner, a hexahedron at a corner of three edges: the corner, the middles of its
  edges, the centres of its faces and the volume centre. The cells of a volume are sewn to each
  other along alpha3, and to the cells of the volumes its own faces were sewn to.
- `thicken(d)`: hook any dart of a surface (free along alpha3); each face becomes a prism volume
  between the face and its copy moved by d along the vertex normals, the prisms of faces that share
  an edge sewn along alpha3 at that edge: the surface becomes a closed shell of thickness d.
"""

from __future__ import annotations

from typing import Sequence

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.point_rules import edge_midpoint, face_centre, position, volume_centre
from ..geometry.positions import as_point
from ..geometry.surface_normals import sides, vertex_normals
from .batch import BatchExpression, Rows
from .builder import HOOK, rule
from .preconditions import RuleInputError
from .subdivision import part_darts
from .surface import CONNECTED_PART

_FACE = (0, 1)


def extrude_volume(vector: Sequence[float]) -> gorvinpy_bin.Rule3D:
    """Grows a prism volume on the hook dart's face (free along alpha3), its top moved by vector."""
    raised = position + as_point(vector)
    nodes = {
        HOOK: {0: 0, 1: 1},
        "floor": {0: 0, 1: 1},
        "wall_foot": {0: 0},
        "wall_rising": {1: 2},
        "wall_risen": {1: 2},
        "wall_head": {0: 0},
        "roof": {0: 0, 1: 1},
    }
    positions = {"floor": position, **_prism_positions(raised)}
    return rule("extrude_volume", _FACE, nodes, [(3, HOOK, "floor")] + _prism_links("floor"), positions)


def _prism_links(bottom: str) -> list:
    """The links of a prism's darts over one dart of its bottom face, up the wall to the roof."""
    return [
        (2, bottom, "wall_foot"),
        (1, "wall_foot", "wall_rising"),
        (0, "wall_rising", "wall_risen"),
        (1, "wall_risen", "wall_head"),
        (2, "wall_head", "roof"),
    ]


def _prism_positions(raised) -> dict:
    """The points of a prism's new wall and roof darts: the foot of the wall where it stands, the
    rest raised."""
    return {"wall_foot": position, "wall_rising": position, "wall_risen": raised, "wall_head": raised, "roof": raised}


def tetrahedralize() -> gorvinpy_bin.Rule3D:
    """Cuts every volume of the hook dart's connected part into tetrahedra.

    The hook dart x (at vertex v of edge vw, in face f of volume c) makes the tetrahedron (v, w, F,
    C), F the centre of f and C the centre of c, together with its alpha0 partner. Its faces: P =
    (v, w, F) on f, Q = (v, w, C) shared with the tetrahedron of the other face at the edge, R = (v,
    F, C) shared with the tetrahedron of the other edge at v, and the alpha0 partner's own R.
    Node names give the face, the vertex and the edge of the dart.
    """
    nodes = {
        HOOK: {0: 0, 3: 3},
        "P_v_vF": {3: 3},
        "P_F_vF": {0: 1, 3: 3},
        "Q_v_vw": {0: 0, 2: 3},
        "Q_v_vC": {2: 3},
        "Q_C_vC": {0: 1, 2: 3},
        "R_v_vF": {1: 3},
        "R_v_vC": {1: 3},
        "R_F_vF": {1: 3},
        "R_C_vC": {1: 3},
        "R_F_FC": {0: 2, 1: 3},
        "R_C_FC": {0: 2, 1: 3},
    }
    # The point a new dart sits at: the letter after the face name (v, F or C).
    at = {"v": position, "F": face_centre, "C": volume_centre}
    positions = {node: at[node[2]] for node in nodes if node != HOOK}
    links = [
        (1, HOOK, "P_v_vF"),
        (0, "P_v_vF", "P_F_vF"),
        (2, HOOK, "Q_v_vw"),
        (1, "Q_v_vw", "Q_v_vC"),
        (0, "Q_v_vC", "Q_C_vC"),
        (0, "R_v_vF", "R_F_vF"),
        (0, "R_v_vC", "R_C_vC"),
        (0, "R_F_FC", "R_C_FC"),
        (1, "R_v_vF", "R_v_vC"),
        (1, "R_F_vF", "R_F_FC"),
        (1, "R_C_vC", "R_C_FC"),
        (2, "P_v_vF", "R_v_vF"),
        (2, "P_F_vF", "R_F_vF"),
        (2, "Q_v_vC", "R_v_vC"),
        (2, "Q_C_vC", "R_C_vC"),
    ]
    return rule("tetrahedralize", CONNECTED_PART, nodes, links, positions)


def sew_volumes() -> gorvinpy_bin.Rule3D:
    """Sews the faces of hooks "n0" and "n1" along alpha3, dart to dart from the two hook darts."""
    nodes = {HOOK: _FACE, "n1": _FACE}
    return rule("sew_volumes", _FACE, nodes, [(3, HOOK, "n1")], left={"n1": _FACE}, hooks=(HOOK, "n1"))


def unsew_volumes() -> gorvinpy_bin.Rule3D:
    """Frees the hook dart's face, and the face sewn to it, along alpha3."""
    return rule("unsew_volumes", _FACE, {HOOK: {0: 0, 1: 1}}, [(3, HOOK, HOOK)])


def subdivide_volumes() -> gorvinpy_bin.Rule3D:
    """Splits every volume of the hook dart's connected part into one hexahedron per corner.

    The hook dart x (at vertex v of edge e, in face f of volume c) gives eight darts of the cell of
    v in c: four on its face in f (from v to the middle of e, to the centre of f: the darts of
    quad_subdivide) and four on its face inside c at e (from the middle of e to the centre of f and
    on to the centre of c). Node names give the face and the point of the dart.
    """
    nodes = {
        HOOK: {1: 1, 2: 2, 3: 3},
        "outer_edge_middle": {2: 2, 3: 3},
        "outer_spoke": {3: 3},
        "outer_face_centre": {1: 1, 3: 3},
        "inner_edge_middle": {0: 3, 2: 1},
        "inner_face_centre": {0: 3},
        "inner_face_spoke": {0: 3, 1: 2},
        "inner_volume_centre": {0: 3, 1: 2, 2: 1},
    }
    positions = {
        "outer_edge_middle": edge_midpoint,
        "outer_spoke": edge_midpoint,
        "outer_face_centre": face_centre,
        "inner_edge_middle": edge_midpoint,
        "inner_face_centre": face_centre,
        "inner_face_spoke": face_centre,
        "inner_volume_centre": volume_centre,
    }
    links = [
        (0, HOOK, "outer_edge_middle"),
        (1, "outer_edge_middle", "outer_spoke"),
        (0, "outer_spoke", "outer_face_centre"),
        (2, "outer_spoke", "inner_edge_middle"),
        (2, "outer_face_centre", "inner_face_centre"),
        (0, "inner_edge_middle", "inner_face_centre"),
        (1, "inner_face_centre", "inner_face_spoke"),
        (0, "inner_face_spoke", "inner_volume_centre"),
    ]
    return rule("subdivide_volumes", CONNECTED_PART, nodes, links, positions)


def thicken(d: float = 0.1) -> gorvinpy_bin.Rule3D:
    """Turns the hook dart's surface (free along alpha3) into a shell of prisms, one per face,
    reaching d along the vertex normals."""
    raised = _raised(float(d))
    nodes = {
        HOOK: {0: 0, 1: 1},
        "wall_foot": {0: 0, 2: 3},
        "wall_rising": {1: 2, 2: 3},
        "wall_risen": {1: 2, 2: 3},
        "wall_head": {0: 0, 2: 3},
        "roof": {0: 0, 1: 1},
    }
    positions = _prism_positions(raised)
    return rule("thicken", CONNECTED_PART, nodes, _prism_links(HOOK), positions, precondition=_surface)


def _raised(d: float) -> BatchExpression:
    """Each row's position moved by d along the unit vertex normal of its surface."""

    def raised(rows: Rows) -> np.ndarray:
        hooks = rows.darts(0)
        darts = part_darts(rows.gmap, [int(hooks[0])])
        normals = vertex_normals(rows.gmap, darts)
        return rows.positions(0) + d * normals[np.searchsorted(darts, hooks)]

    return BatchExpression(raised)


def _surface(gmap: gorvinpy_bin.GMap3D, hooks) -> None:
    darts = part_darts(gmap, hooks)
    if not len(darts):
        return  # the application names the missing hook dart
    links = _native.links(gmap)
    sewn = darts[links[darts, 3] != darts]
    if len(sewn):
        raise RuleInputError(f"dart {int(sewn.min())} is sewn along alpha3: thicken needs a surface, free along alpha3")
    sides(links, darts)
