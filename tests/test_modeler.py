import gc

import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import square_face


def test_default_modeler():
    modeler = gorvin.Modeler3D()
    assert (modeler.name, modeler.module, modeler.dim) == ("gorvinmodeler", "gorvinpy", 3)
    assert (modeler.sizeEbds(), modeler.sizeGMaps(), len(modeler), list(modeler)) == (16, 0, 0, [])
    assert str(modeler) == repr(modeler) == "Modeler<dim: 3 - sizeGMap: 0 - sizeEbds: 16>(gorvinmodeler,gorvinpy)"


@pytest.mark.parametrize("args, kwargs, name, module", [
    (("m", "p"), {}, "m", "p"),
    (("m",), {}, "m", "gorvinpy"),
    ((), {"module": "p"}, "gorvinmodeler", "p"),
    ((), {"name": "a b", "module": ""}, "a b", ""),
])
def test_name_and_module(args, kwargs, name, module):
    modeler = gorvin.Modeler3D(*args, **kwargs)
    assert (modeler.name, modeler.module) == (name, module)
    assert str(modeler) == f"Modeler<dim: 3 - sizeGMap: 0 - sizeEbds: 16>({name},{module})"


def test_make_gmap_numbers_gmaps_in_order():
    modeler = gorvin.Modeler3D("m", "p")
    first, second = modeler.make_gmap(), modeler.make_gmap()
    assert (first.id, second.id) == (0, 1)
    assert str(modeler) == "Modeler<dim: 3 - sizeGMap: 2 - sizeEbds: 16>(m,p)"
    assert modeler.gmap(1) is second and modeler[1] is second and modeler[0] is first
    assert list(modeler) == [first, second] and all(a is b for a, b in zip(modeler, [first, second]))
    assert (len(modeler), modeler.sizeGMaps()) == (2, 2)


def test_the_same_gmap_comes_back_as_the_same_object(modeler):
    modeler.make_gmap()
    assert modeler.gmap(0) is modeler.gmap(0) is modeler[0] is next(iter(modeler))


def test_iteration_sees_gmaps_made_during_the_walk(modeler):
    modeler.make_gmap()
    seen = []
    for gmap in modeler:
        seen.append(gmap.id)
        if len(modeler) < 3:
            modeler.make_gmap()
    assert seen == [0, 1, 2]


@pytest.mark.parametrize("lookup", [lambda m, i: m.gmap(i), lambda m, i: m[i]], ids=["gmap", "getitem"])
def test_gmap_id_beyond_the_list_is_an_index_error(modeler, lookup):
    modeler.make_gmap()
    for gid in [1, 2**32 - 1]:
        with pytest.raises(IndexError, match="^Index out of range$"):
            lookup(modeler, gid)
    with pytest.raises(TypeError):
        lookup(modeler, -1)
    assert len(modeler) == 1


@pytest.mark.parametrize("obtain", [
    lambda m: m.make_gmap(),
    lambda m: (m.make_gmap(), m.gmap(0))[1],
    lambda m: (m.make_gmap(), m[0])[1],
    lambda m: (m.make_gmap(), next(iter(m)))[1],
], ids=["make_gmap", "gmap", "getitem", "iter"])
def test_gmap_stays_usable_after_its_modeler_is_dropped(obtain):
    modeler = gorvin.Modeler3D("kept")
    gmap = obtain(modeler)
    del modeler
    gc.collect()
    square_face(gmap)
    dart = gmap.get(3)
    assert dart.exists() and dart(0).id == 2 and dart.modeler.name == "kept"
    assert str(gmap) == "GMap<0 - size: 8>"


def test_modeler_iterator_keeps_its_modeler():
    modeler = gorvin.Modeler3D()
    modeler.make_gmap()
    iterator = iter(modeler)
    del modeler
    gc.collect()
    gmap = next(iterator)
    assert gmap.id == 0 and gmap.make_darts(1)[0].modeler.sizeGMaps() == 1


def test_copies_share_gmaps(modeler):
    source_gmap = modeler.make_gmap()
    copy = gorvin.Modeler3D(modeler)
    assert (copy.name, copy.module, len(copy)) == (modeler.name, modeler.module, 1)
    assert copy.gmap(0) is source_gmap
    copy[0].make_darts(3)
    copy[0].linkAlpha(0, 0, 2)
    assert len(source_gmap) == 3 and source_gmap.a(0, 0).id == 2
    source_gmap.make_darts(1)
    assert len(copy.gmap(0)) == 4


def test_copy_lists_only_the_gmaps_made_before_it(modeler):
    modeler.make_gmap()
    copy = gorvin.Modeler3D(modeler)
    copy.make_gmap()
    modeler.make_gmap()
    assert (len(copy), len(modeler)) == (2, 2)
    assert copy[1] is not modeler[1]


def test_copy_keeps_shared_gmaps_after_its_source_is_dropped():
    source = gorvin.Modeler3D()
    source.make_gmap().make_darts(2)
    copy = gorvin.Modeler3D(source)
    del source
    gc.collect()
    gmap = copy.gmap(0)
    gmap.linkAlpha(1, 0, 1)
    dart = gmap.get(0)
    assert dart.exists() and dart(1).id == 1 and dart.dart()[1] == 1
    assert dart.modeler.sizeGMaps() == 1 and dart.modeler is not copy
