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

from .operations import CATEGORY, HOOK, _at_hook, _Node, _rule
from .positions import as_point, face_centre, position, volume_centre

_FACE = (0, 1)
_CONNECTED_PART = (0, 1, 2, 3)


def extrude_volume(vector: Sequence[float]) -> gorvinpy_bin.Rule3D:
    """Grows a prism volume on the hook dart's face (free along alpha3), its top moved by vector."""
    raised = position + as_point(vector)
    nodes = [
        _Node(HOOK, {0: 0, 1: 1}),
        _Node("floor", {0: 0, 1: 1}, _at_hook(position)),
        _Node("wall_foot", {0: 0}, _at_hook(position)),
        _Node("wall_rising", {1: 2}, _at_hook(position)),
        _Node("wall_risen", {1: 2}, _at_hook(raised)),
        _Node("wall_head", {0: 0}, _at_hook(raised)),
        _Node("roof", {0: 0, 1: 1}, _at_hook(raised)),
    ]
    links = [
        (3, HOOK, "floor"),
        (2, "floor", "wall_foot"),
        (1, "wall_foot", "wall_rising"),
        (0, "wall_rising", "wall_risen"),
        (1, "wall_risen", "wall_head"),
        (2, "wall_head", "roof"),
    ]
    return _rule("extrude_volume", _FACE, nodes, links)


def tetrahedralize() -> gorvinpy_bin.Rule3D:
    """Cuts every volume of the hook dart's connected part into tetrahedra.

    The hook dart x (at vertex v of edge vw, in face f of volume c) makes the tetrahedron (v, w, F,
    C), F the centre of f and C the centre of c, together with its alpha0 partner. Its faces: P =
    (v, w, F) on f, Q = (v, w, C) shared with the tetrahedron of the other face at the edge, R = (v,
    F, C) shared with the tetrahedron of the other edge at v, and the alpha0 partner's own R.
    Node names give the face, the vertex and the edge of the dart.
    """
    at_v, at_face, at_volume = _at_hook(position), _at_hook(face_centre), _at_hook(volume_centre)
    nodes = [
        _Node(HOOK, {0: 0, 3: 3}),
        _Node("P_v_vF", {3: 3}, at_v),
        _Node("P_F_vF", {0: 1, 3: 3}, at_face),
        _Node("Q_v_vw", {0: 0, 2: 3}, at_v),
        _Node("Q_v_vC", {2: 3}, at_v),
        _Node("Q_C_vC", {0: 1, 2: 3}, at_volume),
        _Node("R_v_vF", {1: 3}, at_v),
        _Node("R_v_vC", {1: 3}, at_v),
        _Node("R_F_vF", {1: 3}, at_face),
        _Node("R_C_vC", {1: 3}, at_volume),
        _Node("R_F_FC", {0: 2, 1: 3}, at_face),
        _Node("R_C_FC", {0: 2, 1: 3}, at_volume),
    ]
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
    return _rule("tetrahedralize", _CONNECTED_PART, nodes, links)


def sew_volumes() -> gorvinpy_bin.Rule3D:
    """Sews the faces of hooks "n0" and "n1" along alpha3, dart to dart from the two hook darts."""
    rule = gorvinpy_bin.Rule3D("sew_volumes", CATEGORY)
    for name in (HOOK, "n1"):
        rule.make_leftnode(name, list(_FACE), True)
        rule.make_rightnode(name, list(_FACE), [])
    rule.linkRightNodes(3, rule.rightnode(HOOK), rule.rightnode("n1"))
    rule.compile()
    return rule


def unsew_volumes() -> gorvinpy_bin.Rule3D:
    """Frees the hook dart's face, and the face sewn to it, along alpha3."""
    return _rule("unsew_volumes", _FACE, [_Node(HOOK, {0: 0, 1: 1})], [(3, HOOK, HOOK)])
