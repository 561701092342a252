"""A plain Python model of rules: nodes with their links, multiplicities and expression tables,
node views and copies, compilation and match."""
import copy

from gmap_model import NO_LINK, SLOTS, Refused, kernel_error, orbit_mask


class MExpr:
    """An expression; copies of nodes and rules share it, as they share its callable."""

    def __init__(self, name, orbit, fn):
        self.name, self.orbit, self.fn = name, list(orbit), fn

    def __deepcopy__(self, memo):
        return self


def dims_text(dims, open_="<"):
    return open_ + "".join(f"{d} " for d in dims) + ">"


def multiplicity(a, b):
    return (min(a, b), max(a, b))


class MNode:
    def __init__(self, name, nid, orbit, mult, hook=False, exprs=None):
        self.name, self.id, self.orbit, self.mult = name, nid, list(orbit), mult
        self.links = [NO_LINK] * 4
        self.hook = hook
        self.exprs = exprs  # right nodes: SLOTS entries, None or a list of MExpr

    def text(self, left):
        if left:
            hook = ";hook" if self.hook else ""
            return f"RuleNodeLeft<id={self.id}{hook};name={self.name};orbit={dims_text(self.orbit)}>"
        return f"RuleNodeRight<id={self.id};name={self.name};exprs=16;orbit={dims_text(self.orbit)}>"


def expression_table(exprs):
    table = [None] * SLOTS
    for expr in exprs:
        mask = orbit_mask(expr.orbit)
        if mask < SLOTS:
            table[mask] = (table[mask] or []) + [expr]
    return table


class MRule:
    def __init__(self, name, category=""):
        self.name, self.category = name, category
        self.compiled = False
        self.left, self.right = [], []
        self.assoc, self.left_to_right = [], []

    def copy(self):
        return copy.deepcopy(self)

    def text(self):
        return (
            f"Rule<name={self.name};cat={self.category};compiled={int(self.compiled)};"
            f"hooks={len(self.hooks())};leftsize={len(self.left)};rightsize={len(self.right)}>"
        )

    def side(self, left):
        return self.left if left else self.right

    def hooks(self):
        return [n.id for n in self.left if n.hook]

    def node(self, left, key):
        nodes = self.side(left)
        if isinstance(key, int):
            if key >= len(nodes):
                raise kernel_error()
            return nodes[key]
        for node in nodes:
            if node.name == key:
                return node
        raise kernel_error()

    def make_node(self, left, name, orbit, mult, hook=False, exprs=()):
        table = None if left else expression_table(exprs)
        if self.compiled:
            raise kernel_error()
        nodes = self.side(left)
        node = MNode(name, len(nodes), orbit, mult, hook, table)
        nodes.append(node)
        return copy.deepcopy(node)

    def link(self, left, d, a, b=None):
        if d > 3:
            raise kernel_error()
        nodes = self.side(left)
        if a >= len(nodes) or (b is not None and b >= len(nodes)):
            raise kernel_error()
        partners = [nodes[a].links[d]] + ([nodes[b].links[d]] if b is not None else [])
        for x in partners:
            if x < len(nodes):
                nodes[x].links[d] = x
        if b is None:
            nodes[a].links[d] = a
        else:
            nodes[a].links[d], nodes[b].links[d] = b, a

    def compile(self):
        if self.compiled:
            return
        first = lambda nodes, name: next((n.id for n in nodes if n.name == name), -1)  # noqa: E731
        self.assoc = [first(self.left, r.name) for r in self.right]
        self.left_to_right = [first(self.right, n.name) for n in self.left]
        self.compiled = True

    def created(self):
        return [i for i, a in enumerate(self.assoc) if a == -1]

    def kept(self):
        return [i for i, a in enumerate(self.assoc) if a != -1]

    def deleted(self):
        return [i for i, a in enumerate(self.left_to_right) if a == -1]

    def assoc_of(self, i):
        return self.assoc[i] & 0xFFFFFFFF if i < len(self.assoc) else NO_LINK

    def is_created(self, i):
        return i < len(self.assoc) and self.assoc[i] == -1

    def is_kept(self, i):
        return i < len(self.assoc) and self.assoc[i] != -1

    def is_deleted(self, i):
        return i < len(self.left_to_right) and self.left_to_right[i] == -1

    def match(self, columns):
        return columns == len(self.hooks()) and all(n.mult[0] <= 1 <= n.mult[1] for n in self.left)


class MNodeObject:
    """RuleNodeLeft3D / RuleNodeRight3D: a view (rule, id) or a standalone copy."""

    def __init__(self, left, rule=None, nid=None, copy_=None):
        self.left, self.rule, self.nid, self.copy = left, rule, nid, copy_

    def node(self):
        return self.copy if self.rule is None else self.rule.side(self.left)[self.nid]

    def link(self, d):
        if d > 3:
            raise kernel_error()
        return self.node().links[d]

    def set_link(self, d, value):
        if d > 3:
            raise kernel_error()
        self.node().links[d] = value


def dict_hooks(rule, pairs):
    """The hook darts built from (key, value) pairs of a dict, in the dict's order."""
    hooks = rule.hooks()
    darts = [NO_LINK] * len(hooks)
    for key, value in pairs:
        if not isinstance(key, (str, bytes)):
            raise Refused(RuntimeError)
        name = key if isinstance(key, str) else key.decode("latin-1")
        node = next((n for n in rule.left if n.name == name), None)
        if node is None or node.id not in hooks:
            raise kernel_error()
        if not isinstance(value, int) or not 0 <= value <= 0xFFFFFFFF:
            raise Refused(RuntimeError)
        darts[hooks.index(node.id)] = value
    return darts
