"""Random-program operations on modelers, G-maps, dart handles, raw darts and embeddings."""

import gorvinpy_bin as gorvin
from gmap_model import (
    DELETED,
    SLOTS,
    MIterator,
    MModeler,
    MModelerIterator,
    MRaw,
    Refused,
    kernel_error,
    orbit_mask,
    refuse,
)
from program_base import SLOT_MEMBERS, Mismatch, Token
from rule_model import dims_text

JUNK = [-1, 2**32, 1.5, None, "x"]


class StoreOps:
    # Modelers and G-maps

    def op_modeler(self):
        names = self.rng.choice([(), ("m",), ("m", "p")])
        model = MModeler(*names)
        real, _ = self.expect(lambda: gorvin.Modeler3D(*names), lambda: model, lambda r, m: None)
        model.py = real
        self.keep(self.modelers, (real, model), cap=4)

    def op_copy_modeler(self):
        real, model = self.pick(self.modelers)
        duplicate = MModeler(model.name, model.module, source=model)
        result, _ = self.expect(lambda: gorvin.Modeler3D(real), lambda: duplicate, lambda r, m: None)
        duplicate.py = result
        self.keep(self.modelers, (result, duplicate), cap=4)

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
            self.expect(lambda: (how(d), real.isFree(d)),
                        lambda: (model.neighbour(d), model.neighbour(d) == model.record()[0]))
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
                        lambda: model.value(i, mask) if mask < SLOTS
                        else refuse(Refused(RuntimeError, "Invalid orbit ID")),
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
