import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import ORBIT_SUFFIXES, UNKNOWN

DIGITS = ["" if suffix == "Dart" else suffix for suffix in ORBIT_SUFFIXES]


def dims(digits):
    return [int(c) for c in digits]


def test_descriptor_classes():
    names = list(vars(gorvin))
    classes = ["EbdDart"] + ["Ebd" + d for d in DIGITS[1:]]
    start = names.index("EbdDart")
    assert names[start:start + 16] == classes
    for name in classes:
        cls = getattr(gorvin, name)
        assert cls.__doc__ is None
        assert [k for k in vars(cls) if not k.startswith("_")] == ["name", "orbit", "defValue"]
        with pytest.raises(TypeError):
            cls()


def test_member_order():
    gmap_members = list(vars(gorvin.GMap3D))
    start = gmap_members.index("e")
    assert gmap_members[start - 1] == "__repr__"
    assert gmap_members[start:start + 17] == ["e"] + ["ebd" + d for d in DIGITS]
    raw_members = list(vars(gorvin.RawDart3D))
    assert raw_members[-16:] == ["ebd" + d for d in DIGITS]
    assert gorvin.GMap3D.ebd13.__doc__.endswith("returns the ebd <1,3> of the dart id\n")
    assert gorvin.RawDart3D.ebd.__doc__ == "returns the ebd of the dart for a given dimension"
    assert gorvin.RawDart3D.ebd023.__doc__ == "returns the ebd <0,2,3> of the dart"
    assert gorvin.Dart3D.ebd.__doc__ == "Returns the ebd <> of the Dart3D"


def test_every_form_reads_the_same_object(gmap):
    a, b = gmap.make_darts(2)
    seen = set()
    for digits in DIGITS:
        value = getattr(gmap, "ebd" + digits)(1)
        assert isinstance(value, dict) and value == {}
        assert gmap.e(1, gorvin.Orbit(dims(digits)[::-1] * 2)) is value
        assert getattr(b, "ebd" + digits) is value
        assert getattr(b.dart(), "ebd" + digits) is value
        assert getattr(a, "ebd" + digits) is not value
        seen.add(id(value))
    assert len(seen) == 16
    assert gmap.e(0, gorvin.Orbit([32, 33])) is gmap.ebd01(0)  # dimensions count modulo 32


def test_fresh_and_shared_records(gmap):
    a, b = gmap.make_darts(2)
    assert a.ebd0 is not b.ebd0
    gmap.resize(4)
    assert gmap.ebd0(2) is gmap.ebd0(3)
    gmap.ebd0(2)["k"] = 1
    assert gmap.ebd0(3) == {"k": 1}
    gmap.linkAlpha(0, 2, 0)
    assert gmap.ebd0(2) is gmap.ebd0(3) and gmap.ebd0(0) is a.ebd0


def test_user_embedding_values(gmap):
    a, b = gmap.make_darts(2)
    value = object()
    a.set(gorvin.Ebd("pos", [1, 2, 3]), value)
    assert gmap.ebd123(a.id)["pos"] is value
    assert a.get(gorvin.Ebd("pos", [3, 2, 1])) is value
    assert a.e(gorvin.Ebd("pos", gorvin.Orbit([2, 1, 3]))) is value
    assert gmap.e(a.id, gorvin.Ebd("pos", [1, 2, 3])) is value
    assert a.get(gorvin.Ebd("pos", [0])) is None  # another slot
    assert b.get(gorvin.Ebd("pos", [1, 2, 3])) is None
    assert gmap.e(b.id, gorvin.Ebd("pos", [1, 2, 3])) is None
    a.e(gorvin.Ebd("n", []), 7)
    assert gmap.ebd(a.id) == {"n": 7}
    a.set(0, b)  # the link overload still answers
    assert a.alpha(0) == b


def test_orbits_naming_no_slot(gmap):
    (a,) = gmap.make_darts(1)
    outside = gorvin.Ebd("x", [5])
    assert a.get(outside) is None
    assert a.set(outside, 1) is None
    assert all(d == {} for d in (getattr(a, "ebd" + digits) for digits in DIGITS))
    for orbit in ([4], [-1], [0, 4]):
        with pytest.raises(RuntimeError, match="Invalid orbit ID"):
            gmap.e(0, gorvin.Orbit(orbit))
    with pytest.raises(RuntimeError, match="Invalid orbit ID"):
        gmap.e(0, outside)
    with pytest.raises(RuntimeError, match="Invalid orbit ID"):  # checked before the dart
        gmap.e(99, gorvin.Orbit([4]))


def test_darts_naming_no_slot(gmap):
    a, b = gmap.make_darts(2)
    b.delete()
    assert gmap.ebd(1) == {}  # a deleted dart keeps its record
    bad_reads = [
        lambda: gmap.ebd0(2),
        lambda: gmap.e(2, gorvin.Orbit([0])),
        lambda: gmap.e(2, gorvin.Ebd("x", [0])),
        lambda: gmap.get(1).ebd,  # the handle names the deleted marker
        lambda: gmap.get(1).get(gorvin.Ebd("x", [0])),
    ]
    raw = a.dart()
    raw.delete()
    bad_reads.append(lambda: raw.ebd3)
    for read in bad_reads:
        with pytest.raises(RuntimeError, match=UNKNOWN):
            read()
    with pytest.raises(TypeError):
        gmap.ebd(-1)


def test_handle_outlives_its_modeler():
    modeler = gorvin.Modeler3D()
    (dart,) = modeler.make_gmap().make_darts(1)
    del modeler
    with pytest.raises(RuntimeError, match=UNKNOWN):
        dart.ebd0
    assert dart.get(gorvin.Ebd("x", [4])) is None  # the orbit is tested first


def test_ebd_value():
    ebd = gorvin.Ebd("position", [0, 1, 2])
    assert repr(ebd) == str(ebd) == "Ebd: name=position, orbit=<0 1 2 >"
    assert ebd.name == "position"
    assert ebd.orbit == gorvin.Orbit([0, 1, 2]) and ebd.orbit is not ebd.orbit
    orbit = gorvin.Orbit([2])
    assert repr(gorvin.Ebd("", orbit)) == "Ebd: name=, orbit=<2 >"
    with pytest.raises(TypeError):
        gorvin.Ebd(name="x", orbit=orbit)
