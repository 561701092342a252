"""The conditions a right node must meet so that alpha_i alpha_j (i + 2 <= j) stays an involution,
stated on the rule alone, and the sentence for each one a node breaks.

For right node q and dimensions i, j, each of alpha_i and alpha_j of q comes from one source: an
explicit link to a node of the same row, an orbit label at a hook position (a link to the same node
of the neighbouring row there), the G-map's own link (a kept node, dimension not rewritten) or
nothing (a created node stays free). The conditions:
- one source per dimension: a second link of the same dimension replaces the first and frees its
  partner;
- two explicit links q -i- t and q -j- u close a square: t -j- w and u -i- w for one node w;
- an explicit link q -i- t joins nodes that treat alpha_j alike: the same label j at the same hook
  positions, both free, or both kept with alpha_j as in the G-map;
- two labels i and j at hook positions k and l relabel hook dimensions at least two apart (the
  hook orbit's alpha_k alpha_l is then an involution of the G-map), or leave them as they are;
- a kept node that keeps one of the two links from the G-map has the other one as in the G-map too
  (its label at the hook position of that dimension is that dimension), and its old neighbours are
  not rewritten or deleted by the rule.
These name the broken condition; whether it breaks a G-map is decided by trying the rule (see
rule_check).
"""

from __future__ import annotations

from typing import List, Tuple

from .rule_shape import RuleShape, label_positions

Source = Tuple[str, int]  # ("link", node) / ("label", position) / ("kept", -1) / ("free", -1)


def sources(shape: RuleShape, index: int, dim: int) -> List[Source]:
    node = shape.right[index]
    found: List[Source] = []
    target = node.links[dim]
    if target is not None:
        found.append(("free", -1) if target == index else ("link", target))
    found.extend(("label", position) for position in label_positions(node, dim, len(shape.hook_orbit)))
    if not found:
        found.append(("kept", -1) if shape.kept[index] else ("free", -1))
    return found


def broken_conditions(shape: RuleShape, index: int, i: int, j: int) -> List[str]:
    """Sentences for the conditions that right node `index` breaks for alpha_i alpha_j."""
    name = shape.right[index].name
    found_i, found_j = sources(shape, index, i), sources(shape, index, j)
    out = [
        f"{name!r} gets alpha{dim} from {len(found)} sources: the last link"
        " replaces the others and frees their partners"
        for dim, found in ((i, found_i), (j, found_j))
        if len(found) > 1
    ]
    (kind_i, value_i), (kind_j, value_j) = found_i[-1], found_j[-1]
    hook = shape.hook_orbit
    if kind_i == "link" and kind_j == "link":
        t, u = shape.right[value_i], shape.right[value_j]
        if t.links[j] is None or t.links[j] != u.links[i]:
            out.append(
                f"the explicit links alpha{i} {name!r}-{t.name!r} and alpha{j} {name!r}-{u.name!r} do not close "
                f"a square: {t.name!r} needs an alpha{j} link and {u.name!r} an alpha{i} link to one same node"
            )
    for dim, other, (kind, value) in ((i, j, found_i[-1]), (j, i, found_j[-1])):
        if kind == "link" and value != index:
            partner = value
            first, second = sorted((index, partner), key=lambda node: shape.right[node].name)
            mine, theirs = sources(shape, first, other), sources(shape, second, other)
            if _kinds(mine) != _kinds(theirs):
                out.append(
                    f"{shape.right[first].name!r} and {shape.right[second].name!r} are joined by an explicit "
                    f"alpha{dim} link, so they must treat alpha{other} alike (the same label {other} at the same hook "
                    f"positions, both free or both kept as in the G-map); here {_said(mine)} against {_said(theirs)}"
                )
    if kind_i == "label" and kind_j == "label":
        a, b = hook[value_i], hook[value_j]
        if abs(a - b) < 2 and (a, b) != (i, j):
            out.append(
                f"{name!r} relabels hook alpha{a} (position {value_i}) as {i} and hook alpha{b} (position {value_j}) "
                f"as {j}: labels two apart must come from hook dimensions two apart"
            )
    for dim, other, kind, value in ((i, j, kind_i, value_i), (j, i, kind_j, value_j)):
        if kind == "kept" and (found_j if dim == i else found_i)[-1][0] in ("label", "link"):
            other_kind, other_value = (found_j if dim == i else found_i)[-1]
            if other_kind == "link" or hook[other_value] != other:
                out.append(
                    f"{name!r} keeps alpha{dim} from the G-map but gets alpha{other} from the rule "
                    f"({_said([(other_kind, other_value)])}): a kept link needs the other dimension kept as it was too"
                )
    if kind_i == "kept" and kind_j == "kept":
        out.append(
            f"{name!r} keeps alpha{i} and alpha{j} from the G-map: its alpha{i} alpha{j} cycle must not pass through "
            f"darts that the rule rewrites or deletes"
        )
    return out


def describe_sources(shape: RuleShape, index: int, dim: int) -> str:
    """Where alpha_dim of right node `index` comes from, in words."""
    hook = shape.hook_orbit
    phrases = {
        "free": lambda value: "nothing (its dart is free there)",
        "kept": lambda value: "the link its dart had in the G-map (the rule does not rewrite it)",
        "link": lambda value: f"an explicit link to {shape.right[value].name!r}",
        "label": lambda value: f"its orbit label at hook position {value} (hook alpha{hook[value]})",
    }
    return " and ".join(phrases[kind](value) for kind, value in sources(shape, index, dim))


def _kinds(found: List[Source]) -> Tuple[Source, ...]:
    return tuple((kind, value if kind == "label" else -1) for kind, value in found)


def _said(found: List[Source]) -> str:
    words = {"free": "free", "kept": "kept from the G-map", "link": "an explicit link", "label": "label at position"}
    return ", ".join(words[kind] + (f" {value}" if kind == "label" else "") for kind, value in found)
