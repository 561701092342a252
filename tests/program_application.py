"""Random-program operations on expressions, hooks, contexts and rule applications."""

import gorvin_testing
import gorvinpy_bin as gorvin
import reference_engine as engine
from gmap_model import DELETED, NO_LINK, SLOTS, Refused, Value, kernel_error, orbit_mask, refuse, slot_dims
from program_base import Mismatch, Token
from rule_model import MExpr, dict_hooks, dims_text

HELPERS = {orbit_mask(list(map(int, name[9:].replace("Dart", "")))): name for name in dir(gorvin)
           if name.startswith("Expr3DEbd")}
ORBIT_OUTPUT = "".join(f"{dims_text(slot_dims(s))} -> oid={s}\n"
                       for s in sorted(range(SLOTS), key=lambda s: (bin(s).count("1"), slot_dims(s))))
RAISED = [ValueError, KeyError, ZeroDivisionError, StopIteration]


class ExprFn:
    """An expression callable: logs its arguments, raises on chosen calls, may change the G-map it
    is evaluated on (`action`: a nested rule application, or a G-map call with its arguments), and
    otherwise returns a new Token."""

    def __init__(self, log, raise_at, error, action, keep):
        self.log, self.raise_at, self.error, self.action, self.keep = log, raise_at, error, action, keep
        self.calls = self.model_calls = 0
        self.nested = action[0] == "apply"

    def __call__(self, ctx):
        self.calls += 1
        args = (tuple(d.id for d in ctx.leftpattern), ctx.leftdart.id, ctx.rightdart.id, len(ctx.gmap))
        entry = [self, args, None, ctx if self.keep else None]  # a context kept after its call
        self.log.append(entry)
        if self.calls in self.raise_at:
            raise self.error("raised by an expression")
        name, *params = self.action
        if name == "apply":
            ctx.gmap.apply(params[0][0])
        elif name == "delete":
            ctx.gmap.get(*params).delete()
        elif name != "none":
            getattr(ctx.gmap, name)(*params)
        entry[2] = Token()
        return entry[2]

    def model_action(self, program, gmap):
        name, *params = self.action
        if name == "apply":
            program.model_apply(gmap, params[0][1], [])
        elif name == "delete":
            gmap.handle(gmap.slot(params[0])[0]).delete()
        elif name == "linkAlpha":
            gmap.link(*params)
        elif name == "make_darts":
            gmap.make_darts(*params)
        elif name != "none":
            getattr(gmap, name)(*params)


class ApplicationOps:
    # Expressions, hooks and contexts

    def op_expression(self):
        candidates = [r for r in self.rules if r[1].compiled and not getattr(r[1], "nests", False)]
        actions = [("none",)] * 6 + [("make_darts", self.count()), ("clear",), ("resize", self.rng.randrange(12)),
                                     ("delete", self.dart()), ("linkAlpha", self.dim(), self.dart(), self.dart())]
        actions += [("apply", r) for r in self.rng.sample(candidates, min(2, len(candidates)))] * 2
        raise_at = {self.rng.randrange(1, 8)} if self.rng.random() < 0.3 else set()
        fn = ExprFn(self.log, raise_at, self.rng.choice(RAISED), self.rng.choice(actions), self.rng.random() < 0.2)
        name = self.rng.choice(["x", "y"])
        form = self.rng.randrange(3)
        if form == 0:
            mask = self.rng.randrange(SLOTS)
            real = getattr(gorvin, HELPERS[mask])(name, fn)
            dims = slot_dims(mask)
            assert real.fct is fn and str(real) == f"Expression3D: name={name}, orbit={dims_text(dims)}"
        else:
            dims = self.dims(whole=False)
            real = gorvin.Expression3D(name, gorvin.Orbit(dims) if form == 1 else dims, fn)
        assert (real.name, list(real.orbit)) == (name, dims)
        self.keep(self.exprs, (real, MExpr(name, dims, fn)), cap=8)

    def input_hooks(self, g=None, count=None):
        if self.hooks and self.rng.random() < 0.3:
            return self.pick(self.hooks)
        live = [i for i in range(g[1].size()) if g[1].exists(i)] if g else []
        if live and count is not None and self.rng.random() < 0.8:
            ids = [self.rng.choice(live) for _ in range(count)]
        else:
            ids = [self.dart(self.gmap()) for _ in range(self.rng.choice([0, 1, 1, 2, 3]))]
        if self.handles and self.rng.random() < 0.3:
            handles = [self.pick(self.handles) for _ in ids]
            real, ids = gorvin.InputHooks([h[0] for h in handles]), [h[1].dartid for h in handles]
        else:
            real = gorvin.InputHooks(ids) if ids or self.rng.random() < 0.5 else gorvin.InputHooks()
        col = self.rng.randrange(len(ids) + 1)
        assert str(real) == "InputHooks<col=%d%s>" % (len(ids), "".join(f";row{c}=1" for c in range(len(ids))))
        assert (real.sizeCol(), real.sizeRow(col), real[(col, 0)], real[(col, 1)]) == (
            len(ids), int(col < len(ids)), ids[col] if col < len(ids) else NO_LINK, NO_LINK)
        self.keep(self.hooks, (real, ids), cap=8)
        return real, ids

    def model_evaluate(self, gmap, exprs, context):
        result = {}
        try:
            for expr in exprs:
                if self.log_at >= len(self.log):
                    raise Mismatch("an expression was not called")
                fn, args, value, kept = self.log[self.log_at]
                self.log_at += 1
                expected = (tuple(context[0]), context[1], context[2], gmap.size())
                if fn is not expr.fn or args != expected:
                    raise Mismatch(f"expression called with {args}, expected {expected}")
                fn.model_calls += 1
                if kept is not None:
                    self.keep(self.contexts, (kept, (gmap, context)), cap=6)
                if fn.model_calls in fn.raise_at:
                    raise Refused(fn.error)
                fn.model_action(self, gmap)
                result[expr.name] = value
        except (Refused, Mismatch):
            self.messages.append(engine.EXPRESSION_ERROR)
            raise
        return result

    def model_apply(self, gmap, rule, hook_darts):
        engine.apply(gmap, rule, hook_darts, lambda exprs, ctx: self.model_evaluate(gmap, exprs, ctx), self.messages)

    def op_apply(self):
        g = self.gmap()
        real, model = g
        rule, mrule = self.rule()
        form = self.rng.randrange(5)
        if form == 3 and mrule.left:
            live = [i for i in range(model.size()) if model.exists(i)] or [0]
            pairs = [(self.rng.choice([n.name for n in mrule.left] + ["zz"]), self.rng.choice(live))
                     for _ in range(self.rng.randrange(len(mrule.hooks()) + 2))]
            if self.rng.random() < 0.1:
                pairs.append(self.rng.choice([(1, 0), ("a", "0"), ("a", -1)]))
            hooks = dict(pairs)
            call = lambda: real.apply(rule, hooks)  # noqa: E731
            darts = lambda: dict_hooks(mrule, hooks.items())  # noqa: E731
        else:
            hooks, ids = self.input_hooks(g, len(mrule.hooks()))
            if form == 0:
                hooks, ids = ids, ids
            elif form == 1 and not ids:
                hooks = None
            if hooks is None:
                call = lambda: real.apply(rule)  # noqa: E731
            elif form == 2:
                call = lambda: gorvin.applyRule(model.modeler.py, real, rule, hooks)  # noqa: E731
            else:
                call = lambda: real.apply(rule, hooks)  # noqa: E731
            darts = lambda: ids  # noqa: E731

        def predict():
            self.model_apply(model, mrule, darts())
            if form == 2:
                self.printed += ORBIT_OUTPUT

        if self.rng.random() < 0.5:
            real.reserve(model.size() + self.rng.randrange(4))
        live, start, involutive = {i for i in range(model.size()) if model.exists(i)}, len(self.log), model.involutive()
        _, done = self.expect(call, lambda: predict() or True, lambda r, m: None, touched=[g], embeddings=True)
        if done and involutive and all(entry[0].action == ("none",) for entry in self.log[start:]):
            # on an involutive map, no surviving dart links to a dart that the application deleted
            gone = {i for i in live if not model.exists(i)}
            assert not [s for s in model.slots if s[0] != DELETED and gone.intersection(s[1:])], \
                "link to a deleted dart"
        self.check_output()

    def op_expression_table(self):
        rights = [(r, m) for r, m in self.nodes if not m.left]
        if not rights or not self.gmaps:
            return self.op_make_node()
        node, mnode = self.pick(rights)
        table = gorvin_testing.expression_table(node)
        s = self.rng.randrange(SLOTS + 2)
        self.expect(lambda: (len(table), table[s] is None),
                    lambda: (16, mnode.node().exprs[s] is None) if s < SLOTS else refuse(kernel_error()))
        group = mnode.node().exprs[s] if s < SLOTS else None
        if group:
            (real, model), (rule, _) = self.gmap(), self.rule()
            left = [self.dart() for _ in range(self.rng.randrange(3))]
            lid, rid = self.dart(), self.dart()
            ctx = gorvin.Context3D(model.modeler.py, rule, real, left, 0, 0, lid, rid)
            assert str(ctx) == f"ExprContext<{model.modeler.name}>"
            assert ctx.gmap is real and ctx.rule is rule and ctx.modeler is model.modeler.py
            self.expect(lambda: table[s](ctx), lambda: Value(self.model_evaluate(model, group, (left, lid, rid))),
                        self.same_value, touched=self.gmaps)
            self.check_output()

    def op_context(self):
        """A context kept by an expression after its call."""
        if not self.contexts:
            return self.op_apply()
        ctx, (gmap, (left, leftdart, rightdart)) = self.pick(self.contexts)
        self.expect(lambda: ctx.leftpattern, lambda: [gmap.handle(d) for d in left], self.same_handles)
        self.expect(lambda: ctx.leftdart, lambda: gmap.handle(leftdart), self.same_handle)
        self.expect(lambda: ctx.rightdart, lambda: gmap.handle(rightdart), self.same_handle)
        self.expect(lambda: (str(ctx), ctx.modeler.name, len(ctx.gmap)),
                    lambda: (f"ExprContext<{gmap.modeler.name}>", gmap.modeler.name, gmap.size()))
