"""A plain Python model of modelers, G-maps and the dart forms: the dart table as a list of
[id, alpha0..alpha3] slots and, beside it, sixteen embedding values per slot. A value stands for
one dict by identity; it is bound to the real dict the first time that dict is read."""
import reference_walks as walks
from gmap_helpers import DELETED, UNKNOWN

NO_LINK = DELETED
SLOTS = 16


class Refused(Exception):
    """What the module is predicted to raise: an exception class and, when fixed, its message."""

    def __init__(self, kind, message=None):
        super().__init__(kind, message)
        self.kind, self.message = kind, message


def kernel_error():
    return Refused(RuntimeError, UNKNOWN)


def index_error():
    return Refused(IndexError, "Index out of range")


def refuse(error):
    raise error


def orbit_mask(dims):
    mask = 0
    for d in dims:
        mask |= 1 << (d & 31)
    return mask


def neighbour_of(record, d):
    """The link of a slot record [id, alpha0..alpha3] in dimension d; the id itself outside 0..3."""
    return record[1 + d] if 0 <= d <= 3 else record[0]


def walked(walk, *args):
    """A reference walk, its missing slot turned into the kernel error."""
    try:
        return walk(*args)
    except walks.Unexistent:
        raise kernel_error() from None


def slot_dims(slot):
    return [d for d in range(4) if slot & (1 << d)]


class Value:
    """One embedding dict: its keys and values as the model expects them, and the real dict once
    seen. `Value.bound` maps id(real dict) to its Value, so two values never share a dict."""

    bound = {}

    def __init__(self, content=()):
        self.content = dict(content)
        self.real = None

    def check(self, real):
        if self.real is None:
            assert type(real) is dict
            assert id(real) not in Value.bound, "a dict is shared where distinct ones were due"
            Value.bound[id(real)] = self
            self.real = real
        assert real is self.real, "an embedding slot holds another dict"
        assert list(real) == list(self.content), (real, self.content)
        assert all(real[k] is v or real[k] == v for k, v in self.content.items())


def fresh_record():
    return [Value() for _ in range(SLOTS)]


class MModeler:
    def __init__(self, name="gorvinmodeler", module="gorvinpy", source=None):
        self.name, self.module = name, module
        self.gmaps = list(source.gmaps) if source else []
        self.alive = True
        self.py = None  # the Python object, while the program holds it

    def text(self):
        return f"Modeler<dim: 3 - sizeGMap: {len(self.gmaps)} - sizeEbds: 16>({self.name},{self.module})"

    def make_gmap(self):
        gmap = MGMap(self, len(self.gmaps))
        self.gmaps.append(gmap)
        return gmap

    def gmap(self, gid):
        if gid >= len(self.gmaps):
            raise index_error()
        return self.gmaps[gid]


class MGMap:
    def __init__(self, modeler, gid):
        self.modeler, self.gid = modeler, gid
        self.slots = []
        self.records = []

    def size(self):
        return len(self.slots)

    def exists(self, i):
        return i < len(self.slots) and self.slots[i][0] != DELETED

    def slot(self, i):
        if i >= len(self.slots):
            raise kernel_error()
        return self.slots[i]

    def neighbour(self, x, d):
        return neighbour_of(self.slot(x), d)

    def handle(self, dart):
        return MHandle(self.modeler, self.gid, dart)

    def text(self):
        return f"GMap<{self.gid} - size: {self.size()}>"

    # Changes

    def make_darts(self, n):
        first = len(self.slots)
        self.slots += [[i, i, i, i, i] for i in range(first, first + n)]
        self.records += [fresh_record() for _ in range(n)]
        return first

    def append_shared(self, n):
        first = len(self.slots)
        shared = fresh_record()
        self.slots += [[i, i, i, i, i] for i in range(first, first + n)]
        self.records += [list(shared) for _ in range(n)]
        return first

    def resize(self, n):
        if n >= len(self.slots):
            self.append_shared(n - len(self.slots))
        else:
            del self.slots[n:]
            del self.records[n:]

    def clear(self):
        self.resize(0)

    def _free(self, x, d):
        """A former neighbour becomes free; a deleted slot keeps the deleted marker."""
        if x < len(self.slots) and self.slots[x][0] != DELETED:
            self.slots[x][1 + d] = x

    def link(self, d, a, b):
        if d > 3:
            return
        self.slot(a)
        self.slot(b)
        oa, ob = self.slots[a][1 + d], self.slots[b][1 + d]
        self._free(oa, d)
        self._free(ob, d)
        self.slots[a][1 + d] = b
        self.slots[b][1 + d] = a

    def loop(self, d, a):
        if d > 3:
            return
        self.slot(a)
        self._free(self.slots[a][1 + d], d)
        self.slots[a][1 + d] = a

    # Embeddings

    def value(self, dart, slot):
        """The value of an embedding slot of a dart id; the kernel error when the id names no slot."""
        self.slot(dart)
        return self.records[dart][slot]

    # Queries

    def orbit(self, dims, start):
        return walked(walks.orbit, self.slots, dims, start)

    def sub_orbit(self, dims, sub, start):
        return walked(walks.sub_orbit, self.slots, dims, sub, start)

    def islet(self, dims, labels=None):
        table = self.slots
        return walked(walks.islet, table, dims, range(len(table)) if labels is None else labels)

    def extraction(self):
        alpha = [s[1:] for s in self.slots]
        live = [s[0] != DELETED for s in self.slots]
        return (
            walks.reference_faces(alpha, live, (0, 1)),
            walks.reference_faces(alpha, live, (0, 1, 3)),
            tuple(walks.reference_compacted(alpha, live)),
        )

    def involutive(self):
        """True when every link of a live dart names a live dart that links back."""
        return all(self.exists(s[1 + d]) and self.slots[s[1 + d]][1 + d] == s[0]
                   for s in self.slots if s[0] != DELETED for d in range(4))


class MHandle:
    """Dart3D: (modeler, G-map id, dart id), resolved at each use."""

    def __init__(self, modeler, gmapid, dartid):
        self.modeler, self.gmapid, self.dartid = modeler, gmapid, dartid

    def key(self):
        return (id(self.modeler), self.gmapid, self.dartid)

    def gmap(self):
        if not self.modeler.alive:
            raise kernel_error()
        return self.modeler.gmap(self.gmapid)

    def with_id(self, dartid):
        return MHandle(self.modeler, self.gmapid, dartid)

    def text(self):
        return f"Dart({self.gmapid}, {self.dartid})"

    def neighbour(self, d):
        gmap = self.gmap()
        return self.with_id(gmap.slot(gmap.neighbour(self.dartid, d))[0])

    def exists(self):
        return self.dartid != DELETED and self.gmap().exists(self.dartid)

    def delete(self):
        gmap = self.gmap()
        if self.dartid < gmap.size():
            gmap.slots[self.dartid][:] = [DELETED] * 5

    def is_free(self, d):
        slot = self.gmap().slot(self.dartid)
        return neighbour_of(slot, d) == slot[0]

    def link(self, d, other):
        if d <= 3:
            other.gmap().link(d, self.dartid, other.dartid)


class MRaw:
    """RawDart3D: a slot of a G-map, or a detached copy of a record."""

    def __init__(self, gmap, slot, copy=None):
        self.owner, self.slot_id, self.copy = gmap, slot, copy
        if copy is None:
            gmap.slot(slot)

    def record(self):
        return self.copy if self.copy is not None else self.owner.slot(self.slot_id)

    def detached(self):
        return MRaw(self.owner, self.slot_id, list(self.record()))

    def neighbour(self, d):
        return neighbour_of(self.record(), d)

    def value(self, slot):
        return self.owner.value(self.record()[0], slot)


class MIterator:
    """GMapDart3DIterator: slot positions taken when it was made."""

    def __init__(self, gmap):
        self.gmap, self.current, self.end = gmap, 0, gmap.size()

    def next(self):
        if self.current >= self.end or self.current >= self.gmap.size():
            raise Refused(StopIteration)
        dart = self.gmap.slots[self.current][0]
        self.current += 1
        return self.gmap.handle(dart)


class MModelerIterator:
    """The modeler's iterator: positions in its G-map list; once done, the next call looks again."""

    def __init__(self, modeler):
        self.modeler, self.index, self.first_or_done = modeler, 0, True

    def next(self):
        if not self.first_or_done:
            self.index += 1
        else:
            self.first_or_done = False
        if self.index >= len(self.modeler.gmaps):
            self.first_or_done = True
            raise Refused(StopIteration)
        return self.modeler.gmaps[self.index]
