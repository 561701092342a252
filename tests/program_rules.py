"""Random-program operations on rules and their nodes."""
import copy

import gorvinpy_bin as gorvin
from gmap_model import NO_LINK, refuse
from program_base import Mismatch
from rule_model import MNode, MNodeObject, MRule, multiplicity


class RuleOps:
    # Rules

    def rule(self):
        return self.pick(self.rules) or self.op_rule() or self.rules[-1]

    def op_rule(self):
        if self.rules and self.rng.random() < 0.3:
            real, model = self.pick(self.rules)
            made = model.copy()
            result, _ = self.expect(lambda: gorvin.Rule3D(real), lambda: made, lambda r, m: None)
        else:
            made = MRule(self.rng.choice(["r", "s"]), self.rng.choice(["", "c"]))
            result, _ = self.expect(lambda: gorvin.Rule3D(made.name, made.category), lambda: made, lambda r, m: None)
        self.keep(self.rules, (result, made), cap=10)

    def names(self):
        return self.rng.choice(["a", "b", "c", "d"])

    def mult(self):
        if self.rng.random() < 0.85:
            return None
        return multiplicity(self.rng.randrange(3), self.rng.randrange(3))

    def op_make_node(self):
        real, model = self.rule()
        left = self.rng.random() < 0.5
        name, orbit, mult = self.names(), self.dims(whole=False), self.mult()
        extra = {} if mult is None else {"mult": gorvin.RuleNodeMultiplicity(*mult)}
        if left:
            hook = self.rng.random() < 0.6
            call = lambda: real.make_leftnode(name, orbit, hook, **extra)  # noqa: E731
            predict = lambda: model.make_node(True, name, orbit, mult or (1, 1), hook=hook)  # noqa: E731
        else:
            exprs = [self.pick(self.exprs) for _ in range(self.rng.choice([0, 0, 1, 2])) if self.exprs]
            call = lambda: real.make_rightnode(name, orbit, [e[0] for e in exprs], **extra)  # noqa: E731
            if any(e[1].fn.nested for e in exprs):
                model.nests = True
            predict = lambda: model.make_node(False, name, orbit, mult or (1, 1), exprs=[e[1] for e in exprs])  # noqa: E731
        self.expect(call, predict, lambda r, m: self.keep(self.nodes, (r, MNodeObject(left, copy_=m))))

    def op_node_view(self):
        real, model = self.rule()
        left = self.rng.random() < 0.5
        nodes = model.side(left)
        key = self.rng.randrange(len(nodes) + 1) if self.rng.random() < 0.6 else self.names()
        how = real.leftnode if left else real.rightnode

        def view():
            node = model.node(left, key)
            return MNodeObject(left, model, node.id)

        self.expect(lambda: how(key), view, lambda r, m: self.keep(self.nodes, (r, m)))

    def op_node_copies(self):
        real, model = self.rule()
        left = self.rng.random() < 0.5
        result, predicted = self.expect(lambda: real.leftnodes if left else real.rightnodes,
                                        lambda: [copy.deepcopy(n) for n in model.side(left)],
                                        lambda r, m: [str(n) for n in r] == [n.text(left) for n in m]
                                        or refuse(Mismatch()))
        if result:
            i = self.rng.randrange(len(result))
            self.keep(self.nodes, (result[i], MNodeObject(left, copy_=predicted[i])))

    def op_standalone_node(self):
        name, rid, orbit, hook = self.names(), self.rng.randrange(5), self.dims(whole=False), self.rng.random() < 0.5
        model = MNodeObject(True, copy_=MNode(name, rid, orbit, (1, 1), hook))
        self.expect(lambda: gorvin.RuleNodeLeft3D(name, rid, orbit, hook), lambda: model,
                    lambda r, m: self.keep(self.nodes, (r, m)))

    def op_node(self):
        if not self.nodes:
            return self.op_node_view()
        real, model = self.pick(self.nodes)
        d = self.dim()
        choice = self.rng.randrange(3)
        if choice == 0:
            node = model.node()
            self.expect(lambda: (str(real), real.name, real.id, int(real), real.multiplicity.min(),
                                 real.multiplicity.max()),
                        lambda: (node.text(model.left), node.name, node.id, node.id) + tuple(node.mult))
        elif choice == 1:
            self.expect(lambda: real[d], lambda: model.link(d))
        else:
            value = self.rng.choice([0, 1, 2, 3, 9, NO_LINK])
            self.expect(lambda: real.__setitem__(d, value), lambda: model.set_link(d, value))

    def op_link_nodes(self):
        real, model = self.rule()
        left = self.rng.random() < 0.5
        side = [(r, m) for r, m in self.nodes if m.left == left]
        if not side:
            return self.op_node_view()
        (a, ma), (b, mb) = self.pick(side), self.pick(side)
        d = self.dim()
        how = real.linkLeftNodes if left else real.linkRightNodes
        if self.rng.random() < 0.3:
            self.expect(lambda: how(d, a), lambda: model.link(left, d, ma.node().id))
        else:
            self.expect(lambda: how(d, a, b), lambda: model.link(left, d, ma.node().id, mb.node().id))

    def op_compile(self):
        real, model = self.rule()
        self.expect(real.compile, model.compile)

    def op_rule_queries(self):
        real, model = self.rule()
        i = self.rng.randrange(4)
        self.expect(lambda: (str(real), real.name, real.category, real.isCompiled, real.countHooks, real.hooks,
                             real.leftsize, real.rightsize, real.createdRightNodesID, real.keptRightNodesID,
                             real.deletedLeftNodesID, real.sizeCreated, real.sizeKept, real.sizeDeleted,
                             real.isCreated(i), real.isKept(i), real.isDeleted(i), real.assoc(i)),
                    lambda: (model.text(), model.name, model.category, model.compiled, len(model.hooks()),
                             model.hooks(),
                             len(model.left), len(model.right), model.created(), model.kept(), model.deleted(),
                             len(model.created()), len(model.kept()), len(model.deleted()),
                             model.is_created(i), model.is_kept(i), model.is_deleted(i), model.assoc_of(i)))

    def op_match(self):
        real, model = self.rule()
        hooks, ids = self.input_hooks()
        self.expect(lambda: real.match(hooks), lambda: model.match(len(ids)))

    def op_template_rule(self):
        """A rule shaped like real modelling operations, built through the same calls."""
        rng = self.rng
        rule = MRule("t")
        real, _ = self.expect(lambda: gorvin.Rule3D("t"), lambda: rule, lambda r, m: None)
        n = rng.choice([0, 1, 2, 2, 3])
        orbit = rng.sample(range(4), n)
        relabel = lambda: [rng.choice([d, d, -1, rng.randrange(4)]) for d in orbit]  # noqa: E731
        left = [("a", orbit, True)]
        if rng.random() < 0.3:
            left.append(("h", rng.sample(orbit, n), True))
        if rng.random() < 0.3:
            left.append(("b", relabel(), False))
        right = [(name, relabel()) for name, _, _ in left if rng.random() < 0.8]
        right += [(name, relabel()) for name in "cd"[: rng.randrange(3)]]
        for name, dims, hook in left:
            self.expect(lambda: real.make_leftnode(name, dims, hook),
                        lambda: rule.make_node(True, name, dims, (1, 1), hook), lambda r, m: None)
        for name, dims in right:
            exprs = [self.pick(self.exprs) for _ in range(rng.choice([0, 1, 2])) if self.exprs]
            if any(e[1].fn.nested for e in exprs):
                rule.nests = True
            self.expect(lambda: real.make_rightnode(name, dims, [e[0] for e in exprs]),
                        lambda: rule.make_node(False, name, dims, (1, 1), exprs=[e[1] for e in exprs]),
                        lambda r, m: None)
        if len(left) > 1 and rng.random() < 0.7:
            d = rng.randrange(4)
            self.expect(lambda: real.linkLeftNodes(d, real.leftnode(0), real.leftnode(len(left) - 1)),
                        lambda: rule.link(True, d, 0, len(left) - 1))
        for _ in range(rng.randrange(len(right) + 1)):
            d, a, b = rng.randrange(4), rng.randrange(len(right)), rng.randrange(len(right))
            self.expect(lambda: real.linkRightNodes(d, real.rightnode(a), real.rightnode(b)),
                        lambda: rule.link(False, d, a, b))
        if rng.random() < 0.9:
            self.expect(real.compile, rule.compile)
        self.keep(self.rules, (real, rule), cap=10)

    def op_polygon(self):
        """A polygon of k edges: 2k darts closed by alpha0 and alpha1."""
        real, model = g = self.gmap()
        k = self.rng.randrange(1, 5)

        def build(link, first):
            for i in range(0, 2 * k, 2):
                link(0, first + i, first + i + 1)
                link(1, first + i + 1, first + (i + 2) % (2 * k))

        self.expect(lambda: build(real.linkAlpha, real.make_darts(2 * k)[0].id),
                    lambda: build(model.link, model.make_darts(2 * k)), touched=[g])
