"""The frame of a random program: its pools, its random choices and the check that runs each
call against the models."""
import collections
import random

import gorvin_testing
import gorvinpy_bin as gorvin
import reference_engine as engine
from gmap_model import DELETED, SLOTS, Refused, Value, slot_dims

SLOT_MEMBERS = ["ebd" + "".join(map(str, slot_dims(s))) for s in range(SLOTS)]


class Token:
    """A value returned by an expression, compared by identity."""


class Mismatch(AssertionError):
    pass


class ProgramBase:
    def __init__(self, seed, capfd):
        self.rng = random.Random(seed)
        self.capfd = capfd
        self.calls = 0
        self.op, self.outcomes = "start", collections.Counter()
        self.log, self.log_at = [], 0
        self.messages, self.printed = [], ""
        self.modelers, self.gmaps, self.handles, self.raws, self.iterators = [], [], [], [], []
        self.rules, self.nodes, self.exprs, self.hooks = [], [], [], []
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
        if self.rng.random() < 0.9:
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
