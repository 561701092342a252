"""Volume operations, each a compiled Rule3D ready to apply, with positions for the darts it creates.

- `extrude_volume(vector)`: hook one dart of a face free along alpha3; a new prism volume grows
  on it, its bottom sewn along alpha3 to the face and its top the face moved by vector.
- `tetrahedralize()`: hook any dart of a connected part; every volume of the part is cut into
  tetrahedra by coning its faces to the face centres and those to the volume centre. A volume
  with faces of k1, k2, ... corners becomes k1 + k2 + ... tetrahedra, each with one original edge.
- `sew_volumes()`: hooks "n0" and "n1", two darts at the same vertex and edge of two faces with
  as many corners, both free along alpha3: the two volumes are sewn along alpha3 at those faces.
- `unsew_volumes()`: hook a dart of a face sewn along alpha3: the face and its partner come apart.
"""

from __future__ import annotations

from typing import Sequence

import gorvinpy_bin

from .builder import HOOK, rule
from .positions import as_point, face_centre, position, volume_centre

_FACE = (0, 1)
_CONNECTED_PART = (0, 1, 2, 3)


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
    lower, upper = ("floor", "wall_foot", "wall_rising"), ("wall_risen", "wall_head", "roof")
    positions = {**dict.fromkeys(lower, position), **dict.fromkeys(upper, raised)}
    links = [
        (3, HOOK, "floor"),
        (2, "floor", "wall_foot"),
        (1, "wall_foot", "wall_rising"),
        (0, "wall_rising", "wall_risen"),
        (1, "wall_risen", "wall_head"),
        (2, "wall_head", "roof"),
    ]
    return rule("extrude_volume", _FACE, nodes, links, positions)


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
    return rule("tetrahedralize", _CONNECTED_PART, nodes, links, positions)


def sew_volumes() -> gorvinpy_bin.Rule3D:
    """Sews the faces of hooks "n0" and "n1" along alpha3, dart to dart from the two hook darts."""
    nodes = {HOOK: _FACE, "n1": _FACE}
    return rule("sew_volumes", _FACE, nodes, [(3, HOOK, "n1")], left={"n1": _FACE}, hooks=(HOOK, "n1"))


def unsew_volumes() -> gorvinpy_bin.Rule3D:
    """Frees the hook dart's face, and the face sewn to it, along alpha3."""
    return rule("unsew_volumes", _FACE, {HOOK: {0: 0, 1: 1}}, [(3, HOOK, HOOK)])
