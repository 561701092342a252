"""What a compiled Rule3D says, read back as plain data: its nodes' names, orbit labels and explicit
links, which right nodes are kept or created, which left nodes are deleted, and its hooks.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from typing import List, Optional, Tuple

import gorvinpy_bin

NO_LINK = 0xFFFFFFFF
_ORBIT = re.compile(r"orbit=<([^>]*)>")


@dataclass(frozen=True)
class NodeShape:
    name: str
    orbit: Tuple[int, ...]
    links: Tuple[Optional[int], ...]  # per dimension 0..3: the linked node's id, or None


@dataclass(frozen=True)
class RuleShape:
    name: str
    left: Tuple[NodeShape, ...]
    right: Tuple[NodeShape, ...]
    hooks: Tuple[int, ...]
    kept: Tuple[bool, ...]  # per right node
    deleted: Tuple[str, ...]  # left node names

    @property
    def hook_orbit(self) -> Tuple[int, ...]:
        return self.left[self.hooks[0]].orbit if self.hooks else ()

    def right_index(self, name: str) -> int:
        return next(index for index, node in enumerate(self.right) if node.name == name)


def _node(node) -> NodeShape:
    found = _ORBIT.search(str(node))
    orbit = tuple(int(value) for value in found.group(1).split()) if found else ()
    links = tuple(None if node[dim] == NO_LINK else int(node[dim]) for dim in range(4))
    return NodeShape(node.name, orbit, links)


def rule_shape(rule: gorvinpy_bin.Rule3D) -> RuleShape:
    """The shape of a compiled rule."""
    if not rule.isCompiled:
        raise ValueError(f"rule {rule.name!r} is not compiled")
    right = tuple(_node(node) for node in rule.rightnodes)
    left = tuple(_node(node) for node in rule.leftnodes)
    return RuleShape(
        rule.name,
        left,
        right,
        tuple(rule.hooks),
        tuple(rule.isKept(index) for index in range(len(right))),
        tuple(left[index].name for index in rule.deletedLeftNodesID),
    )


def label_positions(node: NodeShape, dim: int, n: int) -> List[int]:
    """Hook orbit positions at which the node's label is dim."""
    return [position for position, label in enumerate(node.orbit[:n]) if label == dim]
