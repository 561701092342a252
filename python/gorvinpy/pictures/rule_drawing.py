"""`draw_rule(rule, path)`: a picture of a rule's left and right patterns side by side, laid out by
Graphviz (the `graphviz` package over Debian's `graphviz` programs).

Each node shows its name and orbit labels (the hook orbit on the left, the relabelled orbit on the
right, "_" for no link); hook nodes have a double border; kept nodes are white, created nodes green,
deleted left nodes red and dashed. Explicit links are edges coloured by dimension, with a legend;
a link of a node to itself (a freed dimension) is a loop.
"""

from __future__ import annotations

from pathlib import Path
from typing import Tuple, Union

import gorvinpy_bin

from ..checks.rule_shape import NodeShape, rule_shape

DIMENSION_COLOURS = ("black", "red", "blue", "darkgreen")
_FILL = {"kept": "white", "created": "palegreen", "deleted": "mistyrose"}


def draw_rule(rule: gorvinpy_bin.Rule3D, path: Union[str, Path]) -> Tuple[Path, Path]:
    """Writes `path` with suffix .svg and .png; returns both paths."""
    import graphviz  # type: ignore[import-untyped]

    shape = rule_shape(rule)
    left_names = {node.name for node in shape.left}
    graph = graphviz.Graph(rule.name, graph_attr={"rankdir": "LR", "label": rule.name, "fontname": "Helvetica"})
    graph.attr("node", shape="ellipse", style="filled", fontname="Helvetica")
    sides = (
        (
            "left",
            "left pattern",
            shape.left,
            [("deleted" if node.name in shape.deleted else "kept") for node in shape.left],
        ),
        ("right", "right pattern", shape.right, [("kept" if kept else "created") for kept in shape.kept]),
    )
    for side, title, nodes, states in sides:
        with graph.subgraph(name=f"cluster_{side}") as part:
            part.attr(label=title, style="rounded", color="grey")
            for index, (node, state) in enumerate(zip(nodes, states)):
                hook = side == "left" and index in shape.hooks
                part.node(
                    f"{side}_{index}",
                    f"{node.name}\n{_labels(node)}",
                    fillcolor=_FILL[state],
                    peripheries="2" if hook else "1",
                    style="filled,dashed" if state == "deleted" else "filled",
                )
            if not nodes:
                part.node(f"{side}_empty", "(nothing)", shape="plaintext", style="")
            _links(part, side, nodes)
    for index, node in enumerate(shape.right):  # keeps each kept node beside its left counterpart
        if node.name in left_names:
            left_index = next(k for k, other in enumerate(shape.left) if other.name == node.name)
            graph.edge(f"left_{left_index}", f"right_{index}", style="invis")
    _legend(graph)
    graph.edge("right_0" if shape.right else "right_empty", "legend", style="invis")  # legend on the far right
    target = Path(path).with_suffix("")
    written = []
    for fmt in ("svg", "png"):
        graph.format = fmt
        written.append(Path(graph.render(filename=target.name, directory=str(target.parent), cleanup=True)))
    return written[0], written[1]


def _labels(node: NodeShape) -> str:
    return "<" + ", ".join("_" if label < 0 or label > 3 else str(label) for label in node.orbit) + ">"


def _links(part, side: str, nodes) -> None:
    for a, node in enumerate(nodes):
        for dim, b in enumerate(node.links):
            if b is not None and b >= a:
                part.edge(
                    f"{side}_{a}",
                    f"{side}_{b}",
                    label=str(dim),
                    color=DIMENSION_COLOURS[dim],
                    fontcolor=DIMENSION_COLOURS[dim],
                    penwidth="2",
                )


def _legend(graph) -> None:
    with graph.subgraph(name="cluster_legend") as legend:
        legend.attr(label="links", style="rounded", color="grey")
        rows = "".join(
            f'<TR><TD><FONT COLOR="{colour}">&#9472;&#9472; alpha{dim}</FONT></TD></TR>'
            for dim, colour in enumerate(DIMENSION_COLOURS)
        )
        states = "".join(f'<TR><TD BGCOLOR="{fill}">{state}</TD></TR>' for state, fill in _FILL.items())
        legend.node(
            "legend",
            f'<<TABLE BORDER="0">{rows}{states}<TR><TD>double border: hook</TD></TR></TABLE>>',
            shape="plaintext",
            style="",
        )
