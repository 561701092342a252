"""Saving and loading G-maps, pickle and deepcopy: links, deleted slots, values and their sharing."""

import copy
import io
import json
import pickle
import random
import zipfile

import numpy as np
import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from gorvinpy import _native
from test_native import random_gmap

VALUES = [1, -7, 2.5, float("inf"), "text", None, True, (1.0, 2.0, 3.0), [1, (2, "x")], {"k": {3: b"\x00\xff"}},
          (), 10**30]


def decorated_gmap(seed):
    """A random G-map with one-sided links, deleted darts, values of every kind and dicts shared by
    several darts and slots."""
    rng = random.Random(seed)
    gmap = random_gmap(seed)
    size = gmap.size()
    for dart in rng.sample([d for d in range(size) if gmap.exists(d)], size // 3):
        gmap[dart].dart()[rng.randrange(4)] = rng.randrange(size)  # one-sided
    shared = {"shared": rng.choice(VALUES)}
    for dart in range(size):
        slot = rng.randrange(16)
        gmap.e(dart, gorvin.Orbit([d for d in range(4) if slot >> d & 1]))[f"key{dart}"] = rng.choice(VALUES)
    for _ in range(size // 4):
        dart, slot = rng.randrange(size), rng.randrange(16)
        gmap.e(dart, gorvin.Orbit([d for d in range(4) if slot >> d & 1])).update(shared)
    gmap.resize(size + 3)  # three darts sharing one default record
    return gmap


def records(gmap):
    """Per dart the sixteen slot values as (table index, value): equal when contents and sharing agree."""
    values, index = _native.embedding_records(gmap)
    return index.tolist(), values


def same_gmap(a, b):
    assert _native.links(a).tolist() == _native.links(b).tolist()
    assert _native.live_mask(a).tolist() == _native.live_mask(b).tolist()
    index_a, values_a = records(a)
    index_b, values_b = records(b)
    assert index_a == index_b
    assert repr(values_a) == repr(values_b)  # repr tells tuples from lists and 1 from 1.0


@pytest.mark.parametrize("seed", range(4))
@pytest.mark.parametrize("how", ["file", "pickle", "deepcopy"])
def test_copies_keep_links_values_and_sharing(tmp_path, seed, how):
    gmap = decorated_gmap(seed)
    if how == "file":
        gorvinpy.save(gmap, tmp_path / "g.npz")
        again = gorvinpy.load(tmp_path / "g.npz")
    elif how == "pickle":
        again = pickle.loads(pickle.dumps(gmap))
    else:
        again = copy.deepcopy(gmap)
    same_gmap(gmap, again)
    shared = [d for d in range(gmap.size() - 3, gmap.size())]
    assert again.ebd0(shared[0]) is again.ebd0(shared[2]) and again.ebd0(shared[0]) is not gmap.ebd0(shared[0])


@pytest.mark.parametrize("how", ["file", "pickle", "deepcopy"])
def test_dicts_not_made_yet_come_back_as_dicts_of_their_own(tmp_path, how):
    gmap = gorvin.Modeler3D().make_gmap()
    gorvinpy.add_mesh(gmap, [(0, 0, 0), (2, 0, 0), (2, 2, 0), (0, 2, 0), (1, 3, 0)], [[0, 1, 2, 3], [3, 2, 4]])
    gorvinpy.apply(gmap, gorvinpy.triangulate(), [0])
    gmap.ebd123(3)["seen"] = True  # one dict made and changed, the others not made yet
    if how == "file":
        gorvinpy.save(gmap, tmp_path / "g.npz")
        again = gorvinpy.load(tmp_path / "g.npz")
    else:
        again = pickle.loads(pickle.dumps(gmap)) if how == "pickle" else copy.deepcopy(gmap)
    same_gmap(gmap, again)
    dicts = [again.ebd123(d) for d in range(again.size())]
    assert dicts == [gmap.ebd123(d) for d in range(gmap.size())]
    assert len({id(d) for d in dicts}) == len(dicts)


def test_unsafe_values_are_named_at_save_and_pickled_only_when_allowed_on_both_sides(tmp_path):
    gmap = decorated_gmap(0)
    gmap.ebd12(5)["when"] = {1, 2}
    with pytest.raises(gorvinpy.StorageError, match=r"dart 5, slot 6 \(<1,2>\), key 'when': a builtins.set"):
        gorvinpy.save(gmap, tmp_path / "g.npz")
    assert not (tmp_path / "g.npz").exists()
    gorvinpy.save(gmap, tmp_path / "g.npz", allow_pickle=True)
    with pytest.raises(gorvinpy.StorageError, match="pickled; load it with allow_pickle=True"):
        gorvinpy.load(tmp_path / "g.npz")
    same_gmap(gmap, gorvinpy.load(tmp_path / "g.npz", allow_pickle=True))


def saved_members(tmp_path):
    gmap = decorated_gmap(1)
    gorvinpy.save(gmap, tmp_path / "g.npz")
    with zipfile.ZipFile(tmp_path / "g.npz") as archive:
        return {name[:-4]: np.load(io.BytesIO(archive.read(name))) for name in archive.namelist()}


def write_members(path, members):
    with open(path, "wb") as file:
        np.savez(file, **members)


def bytes_array(text):
    return np.frombuffer(text.encode(), dtype=np.uint8)


@pytest.mark.parametrize(
    "change, message",
    [
        (lambda m: m.update(links=m["links"][:-1]), r"links: uint32 array of shape \(\d+, 4\), expected"),
        (lambda m: m.update(records=m["records"].astype(np.int32)), "records: int32 array"),
        (lambda m: m["links"].__setitem__((3, 2), 10**6), "dart 3 links to 1000000 along 2, which is no slot"),
        (lambda m: m["records"].__setitem__((2, 5), 10**6), "dart 2 slot 5 names value 1000000"),
        (lambda m: m["records"].__setitem__((2, 5), -10**6), "dart 2 slot 5 names value -1000000"),
        (lambda m: m.pop("live"), "There is no item named 'live.npy'"),
        (lambda m: m.update(values=bytes_array("[[[")), "damaged value table: JSONDecodeError"),
        (lambda m: m.update(values=bytes_array('[[["k", {"set": [1]}]]]')), "unknown tag 'set'"),
        (lambda m: m.update(header=bytes_array('{"format": "other"}')), "no gorvin-gmap header"),
        (lambda m: m.update(links=np.array([1, 2], dtype=object)), "Object arrays cannot be loaded"),
    ],
)
def test_damaged_files_raise_clear_errors(tmp_path, change, message):
    members = saved_members(tmp_path)
    members = {name: np.array(value) for name, value in members.items()}
    change(members)
    write_members(tmp_path / "bad.npz", members)
    with pytest.raises(gorvinpy.StorageError, match=message):
        gorvinpy.load(tmp_path / "bad.npz")


def test_a_pickle_in_the_value_table_is_refused_when_not_allowed(tmp_path):
    members = saved_members(tmp_path)
    header = json.loads(members["header"].tobytes())
    header["values"] = "pickle"
    members["header"] = bytes_array(json.dumps(header))
    members["values"] = np.frombuffer(pickle.dumps(["os.system('boom')"]), dtype=np.uint8)
    write_members(tmp_path / "bad.npz", members)
    with pytest.raises(gorvinpy.StorageError, match="pickled"):
        gorvinpy.load(tmp_path / "bad.npz")


@pytest.mark.parametrize("keep", [0, 10, 100, 0.5, 0.9])
def test_truncated_files_raise_clear_errors(tmp_path, keep):
    gorvinpy.save(decorated_gmap(2), tmp_path / "g.npz")
    data = (tmp_path / "g.npz").read_bytes()
    (tmp_path / "cut.npz").write_bytes(data[: keep if isinstance(keep, int) else int(len(data) * keep)])
    with pytest.raises(gorvinpy.StorageError, match="cut.npz: not a readable saved G-map"):
        gorvinpy.load(tmp_path / "cut.npz")
