"""Seeded random programs over the whole module, checked call by call against the plain models.

After every call the module has either given the model's result or raised the exception the model
predicts, and every G-map the call could reach holds the model's dart table (and, where checked,
its embedding dicts). A program holds its objects in pools; each step picks an operation and its
arguments from them."""
import collections
import copy
import random

import gorvinpy_bin as gorvin
import gorvin_testing
import reference_engine as engine
from gmap_model import (
    DELETED,
    NO_LINK,
    SLOTS,
    MHandle,
    MIterator,
    MModeler,
    MModelerIterator,
    MRaw,
    Refused,
    Value,
    index_error,
    kernel_error,
    orbit_mask,
    refuse,
    slot_dims,
)
from rule_model import MExpr, MNode, MNodeObject, MRule, dict_hooks, dims_text, multiplicity

SLOT_MEMBERS = ["ebd" + "".join(map(str, slot_dims(s))) for s in range(SLOTS)]
HELPERS = {orbit_mask(list(map(int, name[9:].replace("Dart", "")))): name for name in dir(gorvin)
           if name.startswith("Expr3DEbd")}
ORBIT_OUTPUT = "".join(f"{dims_text(slot_dims(s))} -> oid={s}\n"
                       for s in sorted(range(SLOTS), key=lambda s: (bin(s).count("1"), slot_dims(s))))
JUNK = [-1, 2**32, 1.5, None, "x"]
RAISED = [ValueError, KeyError, ZeroDivisionError, StopIteration]


class Token:
    """A value returned by an expression, compared by identity."""


class ExprFn:
    """An expression callable: logs its arguments, raises on chosen calls, may change the G-map it
    is evaluated on (`action`: a nested rule application, or a G-map call with its arguments), and
    otherwise returns a new Token."""

    def __init__(self, log, raise_at, error, action):
        self.log, self.raise_at, self.error, self.action = log, raise_at, error, action
        self.calls = self.model_calls = 0
        self.nested = action[0] == "apply"

    def __call__(self, ctx):
        self.calls += 1
        entry = [self, (tuple(d.id for d in ctx.leftpattern), ctx.leftdart.id, ctx.rightdart.id, len(ctx.gmap)), None]
        self.log.append(entry)
        if self.calls in self.raise_at:
            raise self.error("raised by an expression")
        name, *args = self.action
        if name == "apply":
            ctx.gmap.apply(args[0][0])
        elif name == "delete":
            ctx.gmap.get(*args).delete()
        elif name != "none":
            getattr(ctx.gmap, name)(*args)
        entry[2] = Token()
        return entry[2]

    def model_action(self, program, gmap):
        name, *args = self.action
        if name == "apply":
            program.model_apply(gmap, args[0][1], [])
        elif name == "delete":
            gmap.handle(gmap.slot(args[0])[0]).delete()
        elif name == "linkAlpha":
            gmap.link(*args)
        elif name == "make_darts":
            gmap.make_darts(*args)
        elif name != "none":
            getattr(gmap, name)(*args)


class Mismatch(AssertionError):
    pass


class Program:
    def __init__(self, seed, capfd):
        self.rng = random.Random(seed)
        self.capfd = capfd
        self.calls = 0
        self.op, self.outcomes = "start", collections.Counter()
        self.log, self.log_at = [], 0
        self.messages, self.printed = [], ""
        self.modelers, self.gmaps, self.handles, self.raws, self.iterators = [], [], [], [], []
        self.rules, self.nodes, self.exprs, self.fns, self.hooks, self.lists = [], [], [], [], [], []
        self.ebds, self.contexts = [], []
        Value.bound = {}
        self.op_modeler()
        self.op_make_gmap()

    # Picking

    def pick(self, pool):
        return self.rng.choice(pool) if pool else None

    def keep(self, pool, item, cap=40):
        pool.append(item)
        if len(pool) > cap:
            pool.pop(self.rng.randrange(len(pool)))

    def dim(self):
        r = self.rng.random()
        return self.rng.randrange(4) if r < 0.85 else self.rng.choice([4, 5, 31, 2**32 - 1])

    def dart(self, g=None):
        size = g[1].size() if g else 8
        r = self.rng.random()
        if r < 0.9 or size == 0 and r < 0.95:
            return self.rng.randrange(size + 2)
        return self.rng.choice([DELETED, DELETED - 1, 1000])

    def dims(self, whole=True):
        choices = [0, 1, 2, 3] * 3 + [-1, 7] + ([-42] if whole else [])
        return [self.rng.choice(choices) for _ in range(self.rng.choice([0, 1, 2, 2, 3, 4]))]

    def count(self):
        return self.rng.choice([0, 1, 1, 2, 3, 5, 8])

    def gmap(self):
        return self.pick(self.gmaps)

    # Checking

    def expect(self, real, model, same=None, touched=(), embeddings=False):
        """Runs the call, then the model; the outcomes and the touched G-maps must agree."""
        self.calls += 1
        start = len(self.log)
        try:
            result, raised = real(), None
        except Exception as error:  # noqa: BLE001 - every Python exception is an outcome
            result, raised = None, error
        self.log_at = start
        try:
            predicted, refused = model(), None
        except Refused as error:
            predicted, refused = None, error
        if self.log_at != len(self.log):
            raise Mismatch("an expression call was not predicted")
        self.outcomes[(self.op, type(raised).__name__ if raised else "ok")] += 1
        if refused is not None:
            if raised is None:
                raise Mismatch(f"expected {refused.kind.__name__}({refused.message}), got {result!r}")
            if not isinstance(raised, refused.kind) or refused.message and str(raised) != refused.message:
                raise Mismatch(f"expected {refused.kind.__name__}({refused.message}), got {raised!r}") from raised
        elif raised is not None:
            raise Mismatch(f"unexpected {raised!r}") from raised
        elif same is not None:
            same(result, predicted)
        elif result != predicted:
            raise Mismatch(f"{result!r} != {predicted!r}")
        for g in touched:
            self.check_gmap(g, embeddings)
        return result, predicted

    def check_gmap(self, g, embeddings=False):
        real, model = g
        rows = gorvin_testing.dart_table(real)
        assert rows == [tuple(s) for s in model.slots], f"dart table of {model.text()} differs"
        assert gorvin_testing.tables_agree(real)
        darts = range(model.size()) if embeddings else self.rng.sample(range(model.size()), min(2, model.size()))
        for dart in darts:
            slots = range(SLOTS) if embeddings else [self.rng.randrange(SLOTS)]
            for s in slots:
                model.records[dart][s].check(getattr(real, SLOT_MEMBERS[s])(dart))

    def check_output(self):
        out, err = self.capfd.readouterr()
        expected = "".join(self.messages)
        self.messages = []
        markers = (engine.NOT_ENOUGH_HOOKS, engine.NOT_ISOMORPH, engine.EXPRESSION_ERROR)
        assert [err.count(m) for m in markers] == [expected.count(m) for m in markers], err
        assert out == self.printed, out
        self.printed = ""

    def check_all(self):
        for g in self.gmaps:
            self.check_gmap(g, embeddings=True)

    def same_handle(self, real, model, keep=True):
        if not isinstance(real, gorvin.Dart3D) or (real.gmapid, real.id) != (model.gmapid, model.dartid):
            raise Mismatch(f"{real!r} is not {model.text()}")
        if model.modeler.py is not None:
            assert real.modeler is model.modeler.py
        if keep:
            self.keep(self.handles, (real, model))

    def same_handles(self, real, model):
        assert isinstance(real, list) and len(real) == len(model)
        for r, m in zip(real, model):
            self.same_handle(r, m, keep=self.rng.random() < 0.2)

    def same_gmap(self, real, model):
        assert isinstance(real, gorvin.GMap3D) and real.id == model.gid and len(real) == model.size()
        self.keep(self.gmaps, (real, model), cap=12)

    def keep_raw(self, real, model):
        assert isinstance(real, gorvin.RawDart3D) and real.id == model.record()[0]
        self.keep(self.raws, (real, model))

    def same_value(self, real, model):
        model.check(real)

    # Modelers and G-maps

    def op_modeler(self):
        names = self.rng.choice([(), ("m",), ("m", "p")])
        model = MModeler(*names)
        real, _ = self.expect(lambda: gorvin.Modeler3D(*names), lambda: model, lambda r, m: None)
        model.py = real
        self.keep(self.modelers, (real, model), cap=4)

    def op_copy_modeler(self):
        real, model = self.pick(self.modelers)
        copy = MModeler(model.name, model.module, source=model)
        result, _ = self.expect(lambda: gorvin.Modeler3D(real), lambda: copy, lambda r, m: None)
        copy.py = result
        self.keep(self.modelers, (result, copy), cap=4)

    def op_modeler_queries(self):
        real, model = self.pick(self.modelers)
        self.expect(lambda: (str(real), len(real), real.sizeGMaps(), real.sizeEbds(), real.dim, real.name),
                    lambda: (model.text(), len(model.gmaps), len(model.gmaps), 16, 3, model.name))

    def op_make_gmap(self):
        real, model = self.pick(self.modelers)
        self.expect(real.make_gmap, model.make_gmap, self.same_gmap)

    def op_lookup_gmap(self):
        real, model = self.pick(self.modelers)
        gid = self.rng.randrange(len(model.gmaps) + 2)
        how = self.rng.choice([real.gmap, real.__getitem__])
        self.expect(lambda: how(gid), lambda: model.gmap(gid), self.same_gmap)

    def op_iterate_modeler(self):
        real, model = self.pick(self.modelers)
        it, mit = iter(real), MModelerIterator(model)
        for _ in range(self.rng.randrange(1, 6)):
            if self.rng.random() < 0.3:
                self.op_make_gmap()
            self.expect(lambda: next(it), mit.next, self.same_gmap)

    def op_resize(self):
        g = self.gmap()
        n = self.rng.randrange(g[1].size() + 6)
        self.expect(lambda: g[0].resize(n), lambda: g[1].resize(n), touched=[g])

    def op_clear(self):
        g = self.gmap()
        self.expect(g[0].clear, g[1].clear, touched=[g])

    def op_reserve(self):
        g = self.gmap()
        n = self.rng.choice([0, 5, 100, 2**64 - 1])
        self.expect(lambda: g[0].reserve(n), lambda: None if n < 2**40 else refuse(Refused(ValueError)), touched=[g])

    def op_make_darts(self):
        g = self.gmap()
        n = self.count()
        self.expect(lambda: g[0].make_darts(n),
                    lambda: [g[1].handle(i) for i in range(g[1].make_darts(n), g[1].size())],
                    self.same_handles, touched=[g])

    def op_link(self):
        g = self.gmap()
        d, a, b = self.dim(), self.dart(g), self.dart(g)
        if self.rng.random() < 0.3:
            self.expect(lambda: g[0].linkAlpha(d, a), lambda: g[1].loop(d, a), touched=[g])
        else:
            self.expect(lambda: g[0].linkAlpha(d, a, b), lambda: g[1].link(d, a, b), touched=[g])

    def op_bad_arguments(self):
        """Arguments that convert to no registration; a count of 2**32 converts but names too many darts."""
        real, model = g = self.gmap()
        junk = self.rng.choice(JUNK)
        counting = [lambda: real.make_darts(junk), lambda: real.resize(junk)]
        call = self.rng.choice(counting + [
            lambda: real.linkAlpha(junk, 0, 0), lambda: real.linkAlpha(0, junk), lambda: real.get(junk),
            lambda: real.a(0, junk), lambda: real.exists(junk), lambda: real.path(0, [junk]),
            lambda: real.e(junk, gorvin.Orbit([])), lambda: real.apply(junk), lambda: real.ebd0(junk),
            lambda: gorvin.Orbit([junk if junk != -1 else 2**31]), lambda: gorvin.InputHooks([junk]),
            lambda: gorvin.RuleNodeMultiplicity(junk, 1), lambda: gorvin.RowPattern3D(),
        ])
        error = ValueError if call in counting and junk == 2**32 else TypeError
        self.expect(call, lambda: refuse(Refused(error)), touched=[g])

    def op_gmap_reads(self):
        g = self.gmap()
        i, d = self.dart(g), self.dim()
        real, model = g
        choice = self.rng.randrange(6)
        if choice == 0:
            self.expect(lambda: (len(real), real.size(), str(real), real.id, real.exists(i)),
                        lambda: (model.size(), model.size(), model.text(), model.gid, model.exists(i)))
        elif choice == 1:
            how = self.rng.choice([real.get, real.__getitem__])
            self.expect(lambda: how(i), lambda: model.handle(model.slot(i)[0]), self.same_handle)
        elif choice == 2:
            how = self.rng.choice([real.a, real.alpha])
            self.expect(lambda: how(i, d), lambda: model.handle(model.slot(model.neighbour(i, d))[0]),
                        self.same_handle)
        elif choice == 3:
            dims = [self.dim() for _ in range(self.rng.randrange(4))]

            def path():
                current = i
                for step in dims:
                    current = model.slot(model.neighbour(current, step))[0]
                return model.handle(current)

            self.expect(lambda: real.path(i, dims), path, self.same_handle)
        elif choice == 4:
            self.expect(real.toDarts, lambda: [model.handle(s[0]) for s in model.slots], self.same_handles)
        else:
            self.expect(lambda: iter(real), lambda: MIterator(model),
                        lambda r, m: self.keep(self.iterators, (r, m), cap=6))

    def op_iterator_next(self):
        if not self.iterators:
            return self.op_gmap_reads()
        real, model = self.pick(self.iterators)
        self.expect(lambda: next(real), model.next, self.same_handle)

    # Dart3D handles

    def touched_by(self, *handles):
        return [g for g in self.gmaps if any(h.modeler.alive and h.gmapid < len(h.modeler.gmaps)
                                             and h.modeler.gmaps[h.gmapid] is g[1] for h in handles)]

    def op_handle(self):
        if not self.handles:
            return self.op_make_darts()
        real, model = self.pick(self.handles)
        d = self.dim()
        choice = self.rng.randrange(9)
        touched = self.touched_by(model)
        if choice == 0:
            self.expect(lambda: (real.id, real.gmapid, int(real), str(real), repr(real), real == model.dartid),
                        lambda: (model.dartid, model.gmapid, model.dartid, model.text(), model.text(), True))
        elif choice == 1:
            self.expect(lambda: real.exists(), model.exists)
        elif choice == 2:
            self.expect(lambda: real.isFree(d), lambda: model.is_free(d))
        elif choice == 3:
            how = self.rng.choice([real, real.alpha, real.a])
            self.expect(lambda: how(d), lambda: model.neighbour(d), self.same_handle)
        elif choice == 4:
            self.expect(real.delete, model.delete, touched=touched)
        elif choice == 5:
            other, mother = self.pick(self.handles)
            how = self.rng.choice([real.set, real.setAlpha])
            self.expect(lambda: how(d, other), lambda: model.link(d, mother), touched=self.touched_by(mother))
        elif choice == 6:
            other, mother = self.pick(self.handles)
            self.expect(lambda: (real == other, real != other, gorvin.Dart3D(real) == real),
                        lambda: (model.key() == mother.key(), model.key() != mother.key(), True))
        elif choice == 7:
            self.expect(real.dart, lambda: MRaw(model.gmap(), model.dartid), self.keep_raw)
        else:
            self.expect(lambda: real.modeler, lambda: model.modeler.py if model.modeler.alive else
                        refuse(kernel_error()), lambda r, m: r is m or refuse(Mismatch()))

    def op_orphans(self):
        """Handles and raw darts that outlive their modeler."""
        model = MModeler()
        gmodel = model.make_gmap()
        gmodel.make_darts(3)
        gmodel.link(0, 0, 1)

        def build():
            modeler = gorvin.Modeler3D()
            gmap = modeler.make_gmap()
            gmap.make_darts(3)
            gmap.linkAlpha(0, 0, 1)
            return gmap[0], gmap[1].dart()

        (handle, raw), _ = self.expect(build, lambda: None, lambda r, m: None)
        model.alive = False
        self.keep(self.handles, (handle, gmodel.handle(0)))
        self.keep(self.raws, (raw, MRaw(gmodel, 1)))

    # RawDart3D

    def op_raw(self):
        if not self.raws:
            return self.op_handle()
        real, model = self.pick(self.raws)
        d = self.dim()
        touched = [g for g in self.gmaps if g[1] is model.owner]
        choice = self.rng.randrange(9)
        if choice == 0:

            def describe():
                ident = model.record()[0]
                return f"Dart<{ident}>", ident, ident, ident != DELETED

            self.expect(lambda: (str(real), int(real), real.id, real.exists()), describe)
        elif choice == 1:
            how = self.rng.choice([real, real.__getitem__, real.alpha])
            self.expect(lambda: (how(d), real.isFree(d)), lambda: (model.neighbour(d), model.neighbour(d) == model.record()[0]))
        elif choice == 2:
            did = self.dart()

            def write():
                if d <= 3:
                    model.record()[1 + d] = did
                return model.detached()

            self.expect(lambda: real.__setitem__(d, did), write, self.keep_raw, touched=touched)
        elif choice == 3:
            self.expect(real.delete, lambda: model.record().__setitem__(slice(None), [DELETED] * 5), touched=touched)
        elif choice == 4:
            self.expect(lambda: real.a(d), lambda: model if d > 3 else MRaw(model.owner, model.record()[1 + d]),
                        lambda r, m: r is real if m is model else self.keep_raw(r, m))
        elif choice == 5:
            other, mother = self.pick(self.raws)

            def link():
                if d > 3:
                    return mother
                a, b = model.record()[0], mother.record()[0]
                if a == b:
                    mother.owner.loop(d, a)
                else:
                    mother.owner.link(d, a, b)
                return mother

            self.expect(lambda: real.set(d, other), link, lambda r, m: r is other or refuse(Mismatch()),
                        touched=[g for g in self.gmaps if g[1] is mother.owner])
        elif choice == 6:
            other, mother = self.pick(self.raws)
            i = self.dart()

            def compare():
                a, b = model.record()[0], mother.record()[0]
                return a == b, a != b, a < b, a <= b, a > b, a >= b, a == i, a < i, a >= i

            self.expect(lambda: (real == other, real != other, real < other, real <= other, real > other,
                                 real >= other, real == i, real < i, real >= i), compare)
        else:
            s = self.rng.randrange(SLOTS)
            self.expect(lambda: getattr(real, SLOT_MEMBERS[s]), lambda: model.value(s), self.same_value)

    # Embeddings

    def ebd(self):
        if self.ebds and self.rng.random() < 0.7:
            return self.pick(self.ebds)
        name, dims = self.rng.choice(["p", "q", "n"]), self.dims(whole=False)
        real = gorvin.Ebd(name, gorvin.Orbit(dims) if self.rng.random() < 0.5 else dims)
        assert (real.name, list(real.orbit), repr(real)) == (name, dims, f"Ebd: name={name}, orbit={dims_text(dims)}")
        self.keep(self.ebds, (real, name, dims), cap=8)
        return real, name, dims

    def op_gmap_embeddings(self):
        g = self.gmap()
        real, model = g
        i = self.dart(g)
        choice = self.rng.randrange(3)
        if choice == 0:
            s = self.rng.randrange(SLOTS)
            self.expect(lambda: getattr(real, SLOT_MEMBERS[s])(i), lambda: model.value(i, s), self.same_value)
        elif choice == 1:
            dims = self.dims(whole=False)
            mask = orbit_mask(dims)
            self.expect(lambda: real.e(i, gorvin.Orbit(dims)),
                        lambda: model.value(i, mask) if mask < SLOTS else refuse(Refused(RuntimeError, "Invalid orbit ID")),
                        self.same_value)
        else:
            ebd, name, dims = self.ebd()
            mask = orbit_mask(dims)

            def read():
                if mask >= SLOTS:
                    raise Refused(RuntimeError, "Invalid orbit ID")
                return model.value(i, mask).content.get(name)

            self.expect(lambda: real.e(i, ebd), read, lambda r, m: r is m or refuse(Mismatch((r, m))))

    def op_handle_embeddings(self):
        if not self.handles:
            return self.op_make_darts()
        real, model = self.pick(self.handles)
        ebd, name, dims = self.ebd()
        mask = orbit_mask(dims)
        choice = self.rng.randrange(3)
        if choice == 0:
            how = self.rng.choice([real.get, real.e])
            self.expect(lambda: how(ebd), lambda: None if mask >= SLOTS else
                        model.gmap().value(model.dartid, mask).content.get(name),
                        lambda r, m: r is m or refuse(Mismatch((r, m))))
        elif choice == 1:
            value = self.rng.choice([Token(), None, 7])
            how = self.rng.choice([real.set, real.e])

            def write():
                if mask < SLOTS:
                    model.gmap().value(model.dartid, mask).content[name] = value

            self.expect(lambda: how(ebd, value), write, touched=self.touched_by(model))
        else:
            s = self.rng.randrange(SLOTS)
            self.expect(lambda: getattr(real, SLOT_MEMBERS[s]), lambda: model.gmap().value(model.dartid, s),
                        self.same_value)

    # Orbits, islets, sub-orbits and extraction

    def op_orbit(self):
        g = self.gmap()
        real, model = g
        dims, start = self.dims(), self.dart(g)
        orbit = gorvin.Orbit(dims)
        choice = self.rng.randrange(5)
        if choice == 0:
            how = self.rng.choice([lambda: orbit(real, start), lambda: gorvin.orbit(real, orbit, start)])
            self.expect(how, lambda: model.orbit(dims, start))
        elif choice == 1:
            sub = self.dims()
            how = self.rng.choice([lambda: orbit.sub(sub, real, start), lambda: gorvin.sorbit(dims, sub, real, start)])
            self.expect(how, lambda: model.sub_orbit(dims, sub, start))
        elif choice == 2 and self.handles:
            h, mh = self.pick(self.handles)
            sub = self.dims()
            how = self.rng.choice([lambda: orbit.sub(sub, h), lambda: gorvin.sorbit(dims, sub, h)])
            self.expect(how, lambda: [mh.with_id(x) for x in sorted(mh.gmap().sub_orbit(dims, sub, mh.dartid))],
                        self.same_handles)
            self.expect(lambda: gorvin.orbit(orbit, h), lambda: mh.gmap().orbit(dims, mh.dartid))
        elif choice == 3:
            islet = gorvin.Islet(dims)
            seeds = None if self.rng.random() < 0.5 else [self.dart(g) for _ in range(self.rng.randrange(model.size() + 2))]
            if seeds is None:
                how = self.rng.choice([lambda: islet(real), lambda: gorvin.islet(orbit, real)])
            else:
                how = self.rng.choice([lambda: islet(real, seeds), lambda: gorvin.islet(real, orbit, seeds)])
            self.expect(how, lambda: model.islet(dims, seeds))
        else:
            i = self.rng.randrange(len(dims) + 2)
            self.expect(lambda: (len(orbit), str(orbit), list(orbit), orbit == gorvin.Orbit(list(dims)), i in orbit,
                                 orbit.contains(i), str(gorvin.Islet(dims))),
                        lambda: (len(dims), dims_text(dims), dims, True, i in dims, i in dims, dims_text(dims, "islet<")))
            self.expect(lambda: orbit[i], lambda: dims[i] if i < len(dims) else refuse(index_error()))

    def op_extraction(self):
        real, model = self.gmap()
        self.expect(lambda: (real.extractFaces2D(), real.extractFaces3D(), real.extractGeometryCompacted3D()),
                    model.extraction)

    # Rules

    def rule(self):
        return self.pick(self.rules) or self.op_rule() or self.rules[-1]

    def op_rule(self):
        if self.rules and self.rng.random() < 0.3:
            real, model = self.pick(self.rules)
            copy = model.copy()
            result, _ = self.expect(lambda: gorvin.Rule3D(real), lambda: copy, lambda r, m: None)
        else:
            copy = MRule(self.rng.choice(["r", "s"]), self.rng.choice(["", "c"]))
            result, _ = self.expect(lambda: gorvin.Rule3D(copy.name, copy.category), lambda: copy, lambda r, m: None)
        self.keep(self.rules, (result, copy), cap=10)

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
                                        lambda r, m: [str(n) for n in r] == [n.text(left) for n in m] or refuse(Mismatch()))
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
            self.expect(lambda: (str(real), real.name, real.id, int(real), real.multiplicity.min(), real.multiplicity.max()),
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
                    lambda: (model.text(), model.name, model.category, model.compiled, len(model.hooks()), model.hooks(),
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
            self.expect(lambda: real.make_leftnode(name, dims, hook), lambda: rule.make_node(True, name, dims, (1, 1), hook),
                        lambda r, m: None)
        for name, dims in right:
            exprs = [self.pick(self.exprs) for _ in range(rng.choice([0, 1, 2])) if self.exprs]
            if any(e[1].fn.nested for e in exprs):
                rule.nests = True
            self.expect(lambda: real.make_rightnode(name, dims, [e[0] for e in exprs]),
                        lambda: rule.make_node(False, name, dims, (1, 1), exprs=[e[1] for e in exprs]), lambda r, m: None)
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

    # Expressions, hooks and contexts

    def op_expression(self):
        candidates = [r for r in self.rules if r[1].compiled and not getattr(r[1], "nests", False)]
        actions = [("none",)] * 6 + [("make_darts", self.count()), ("clear",), ("resize", self.rng.randrange(12)),
                                     ("delete", self.dart()), ("linkAlpha", self.dim(), self.dart(), self.dart())]
        actions += [("apply", r) for r in self.rng.sample(candidates, min(2, len(candidates)))] * 2
        raise_at = {self.rng.randrange(1, 8)} if self.rng.random() < 0.3 else set()
        fn = ExprFn(self.log, raise_at, self.rng.choice(RAISED), self.rng.choice(actions))
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
                fn, args, value = self.log[self.log_at]
                self.log_at += 1
                expected = (tuple(context[0]), context[1], context[2], gmap.size())
                if fn is not expr.fn or args != expected:
                    raise Mismatch(f"expression called with {args}, expected {expected}")
                fn.model_calls += 1
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
            assert not [s for s in model.slots if s[0] != DELETED and gone.intersection(s[1:])], "link to a deleted dart"
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

    # Geometry arrays and rule results

    def op_geometry(self):
        import numpy as np

        n = self.rng.randrange(4)
        widths = {"positions": 3, "normals": 3, "texcoords": 2, "colors": 4}
        arrays = {k: np.zeros((n, w), np.float32) for k, w in widths.items()}
        arrays["orient"] = np.zeros(n, bool)
        expected = f"GeometryCommon(vertex_count={n}, "
        fault = self.rng.randrange(6)
        if fault == 1:
            arrays["normals"] = np.zeros((n, 4), np.float32)
            expected = Refused(RuntimeError, "Normals array must be of shape (n, 3) and dtype float32")
        elif fault == 2:
            arrays["colors"] = np.zeros((n + 1, 4), np.float32)
            expected = Refused(RuntimeError, "All geometry arrays must share the same vertex count n")
        elif fault == 3:
            del arrays["texcoords"]
            expected = Refused(KeyError)
        elif fault == 4:
            arrays["positions"] = np.zeros((n, 3))
            expected = Refused(TypeError)

        def predict():
            if isinstance(expected, Refused):
                raise expected
            return expected

        self.expect(lambda: str(gorvin.GeometryCommon(gorvin.GeometryCommon(arrays))), predict,
                    lambda r, m: r.startswith(m) or refuse(Mismatch(r)))

    def op_rule_result(self):
        cols, rows = self.rng.randrange(4), self.rng.randrange(4)
        c, r = self.rng.randrange(5), self.rng.randrange(5)
        result = gorvin.RuleResult(cols, rows)
        self.expect(lambda: (str(result), result.sizeCol(), result.sizeRow()),
                    lambda: (f"RuleResult<cols={rows};rows={cols}>", rows, cols))
        self.expect(lambda: result(c, r), lambda: NO_LINK if c < cols and r < rows else refuse(index_error()))

    # Running

    WEIGHTS = {
        "modeler": 1, "copy_modeler": 1, "modeler_queries": 1, "make_gmap": 2, "lookup_gmap": 2, "iterate_modeler": 1,
        "resize": 4, "clear": 1, "reserve": 1, "make_darts": 8, "link": 14, "bad_arguments": 2, "gmap_reads": 6,
        "iterator_next": 3, "handle": 10, "orphans": 1, "raw": 10, "gmap_embeddings": 4, "handle_embeddings": 4,
        "orbit": 6, "extraction": 2, "rule": 3, "make_node": 10, "node_view": 4, "node_copies": 1,
        "standalone_node": 1, "node": 4, "link_nodes": 6, "compile": 4, "rule_queries": 2, "match": 1,
        "expression": 3, "template_rule": 3, "polygon": 3, "apply": 12, "expression_table": 2, "geometry": 1, "rule_result": 1,
    }

    def run(self, steps):
        names = list(self.WEIGHTS)
        weights = [self.WEIGHTS[n] for n in names]
        for _ in range(steps):
            self.op = self.rng.choices(names, weights)[0]
            getattr(self, "op_" + self.op)()
            if self.rng.random() < 0.02:
                self.check_all()
        self.check_all()
        self.check_output()
        return self.calls
