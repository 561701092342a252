"""Saving and loading whole G-maps, and pickling and deep-copying them.

A saved G-map is an .npz archive (a zip of NumPy arrays, read without pickle): the raw links of
every slot (one-sided links and deleted slots as they are), which slots hold live darts, for every
dart and embedding slot the index of its value in a table of distinct values (so darts that share a
dict share it again after loading; -1 for an empty dict of its own, -2 - j for its own copy of value
j), and that table. The table is JSON with tagged containers, so
that tuples, lists, dicts with any plain keys, ints, floats, strings, bools, None and bytes come back
as they were. Other values are pickled only when the caller allows it on both sides.
"""

from __future__ import annotations

import base64
import copyreg
import io
import json
import pickle
import zipfile
from typing import Any, List, Optional

import numpy as np

import gorvinpy_bin

from .. import _native
from ..errors import GorvinError
from .polygon_files import PathLike

FORMAT = "gorvin-gmap"
VERSION = 1
_MEMBERS = {  # name: (dtype, trailing shape)
    "links": (np.dtype(np.uint32), (4,)),
    "live": (np.dtype(np.bool_), ()),
    "records": (np.dtype(np.int64), (16,)),
}
_HEADER_LIMIT = 1 << 16
_SLOT_ORBITS = ["<" + ",".join(str(d) for d in range(4) if slot >> d & 1) + ">" for slot in range(16)]


class StorageError(GorvinError, ValueError):
    """A file that is no saved G-map, or a G-map value that the safe format cannot hold."""


def save(gmap: gorvinpy_bin.GMap3D, path: PathLike, allow_pickle: bool = False) -> None:
    """Writes a G-map with all its embedding values to path (.npz).

    Values other than None, bool, int, float, str, bytes, and lists, tuples and dicts of them raise
    StorageError naming the dart, the slot and the key, unless allow_pickle is True: then the value
    table is pickled, and loading needs allow_pickle=True too.
    """
    state = _state(gmap)
    values, records = state["values"], state["records"]
    try:
        table, encoding = json.dumps(_encode_table(values)).encode(), "json"
    except _Unsaveable as error:
        if not allow_pickle:
            uses = (records == error.index) | (records == -2 - error.index)
            dart, slot = divmod(int(np.flatnonzero(uses.reshape(-1))[0]), 16)
            raise StorageError(
                f"dart {dart}, slot {slot} ({_SLOT_ORBITS[slot]}), key {error.key!r}: {error.reason}; "
                f"save with allow_pickle=True to pickle it"
            ) from None
        table, encoding = pickle.dumps(values, protocol=pickle.HIGHEST_PROTOCOL), "pickle"
    header = {"format": FORMAT, "version": VERSION, "darts": len(state["live"]), "values": encoding}
    with open(path, "wb") as file:
        np.savez_compressed(
            file,
            header=np.frombuffer(json.dumps(header).encode(), dtype=np.uint8),
            links=state["links"],
            live=state["live"],
            records=records,
            values=np.frombuffer(table, dtype=np.uint8),
        )


def load(path: PathLike, allow_pickle: bool = False) -> gorvinpy_bin.GMap3D:
    """Reads a G-map saved by `save` into a new modeler's new G-map.

    A damaged, truncated or foreign file raises StorageError naming the file and the fault; a file
    with pickled values raises it too unless allow_pickle is True (only for files you trust).
    """
    try:
        with zipfile.ZipFile(path) as archive:
            header = _header(archive)
            darts = header["darts"]
            arrays = {name: _array(archive, name, darts, *shape) for name, shape in _MEMBERS.items()}
            table = _member(archive, "values", None)
    except (zipfile.BadZipFile, EOFError, OSError, KeyError, ValueError) as error:
        if isinstance(error, FileNotFoundError):
            raise
        raise StorageError(f"{path}: not a readable saved G-map: {error}") from None
    if header["values"] == "pickle" and not allow_pickle:
        raise StorageError(f"{path}: its values are pickled; load it with allow_pickle=True only if you trust it")
    try:
        values = pickle.loads(table) if header["values"] == "pickle" else [_decode_dict(v) for v in json.loads(table)]
        if not isinstance(values, list):
            raise ValueError("the value table is not a list")
    except Exception as error:
        raise StorageError(f"{path}: damaged value table: {type(error).__name__}: {error}") from None
    _check_table(path, arrays, len(values))
    return _restore(arrays["links"], arrays["live"], values, arrays["records"])


def _state(gmap: gorvinpy_bin.GMap3D) -> dict:
    values, records = _native.embedding_records(gmap)
    return {"links": _native.links(gmap), "live": _native.live_mask(gmap), "values": values, "records": records}


def _restore(links, live, values: List[Any], records) -> gorvinpy_bin.GMap3D:
    gmap = gorvinpy_bin.Modeler3D().make_gmap()
    _native.restore(gmap, links, live, values, records)
    return gmap


def _reduce(gmap: gorvinpy_bin.GMap3D):
    """pickle and copy.deepcopy of a GMap3D: the same tables, values pickled or copied with their sharing."""
    state = _state(gmap)
    return _restore, (state["links"], state["live"], state["values"], state["records"])


copyreg.pickle(gorvinpy_bin.GMap3D, _reduce)


def _header(archive: zipfile.ZipFile) -> dict:
    header = json.loads(bytes(_member(archive, "header", _HEADER_LIMIT)))
    if not isinstance(header, dict) or header.get("format") != FORMAT:
        raise ValueError(f"no {FORMAT} header")
    if header.get("version") != VERSION:
        raise ValueError(f"version {header.get('version')!r} (this reader knows {VERSION})")
    darts = header.get("darts")
    if not isinstance(darts, int) or isinstance(darts, bool) or darts < 0 or darts >= 0xFFFFFFFF:
        raise ValueError(f"bad dart count {darts!r}")
    if header.get("values") not in ("json", "pickle"):
        raise ValueError(f"unknown value encoding {header.get('values')!r}")
    return header


def _member(archive: zipfile.ZipFile, name: str, limit: Optional[int]) -> bytes:
    """The data of the array member name (uint8 bytes), refusing a member larger than limit."""
    info = archive.getinfo(f"{name}.npy")
    if limit is not None and info.file_size > limit:
        raise ValueError(f"{name}: {info.file_size} bytes where at most {limit} fit")
    array = np.load(io.BytesIO(archive.read(info)), allow_pickle=False)
    if array.dtype != np.uint8 or array.ndim != 1:
        raise ValueError(f"{name}: {array.dtype} array of shape {array.shape}, not bytes")
    return array.tobytes()


def _array(archive: zipfile.ZipFile, name: str, darts: int, dtype: np.dtype, tail: tuple) -> np.ndarray:
    shape = (darts,) + tail
    info = archive.getinfo(f"{name}.npy")
    if info.file_size > int(np.prod(shape)) * dtype.itemsize + 4096:
        raise ValueError(f"{name}: {info.file_size} bytes, more than {darts} darts need")
    array = np.load(io.BytesIO(archive.read(info)), allow_pickle=False)
    if array.dtype != dtype or array.shape != shape:
        raise ValueError(f"{name}: {array.dtype} array of shape {array.shape}, expected {dtype} {shape}")
    return array


def _check_table(path: PathLike, arrays: dict, value_count: int) -> None:
    links, records = arrays["links"], arrays["records"]
    darts = len(links)
    bad = (links >= darts) & (links != 0xFFFFFFFF)
    if bad.any():
        dart, dim = np.argwhere(bad)[0]
        raise StorageError(f"{path}: dart {dart} links to {links[dart, dim]} along {dim}, which is no slot")
    bad = (records < -1 - value_count) | (records >= value_count)
    if bad.any():
        dart, slot = np.argwhere(bad)[0]
        raise StorageError(f"{path}: dart {dart} slot {slot} names value {records[dart, slot]} of {value_count}")


class _Unsaveable(Exception):
    def __init__(self, reason: str):
        super().__init__(reason)
        self.reason = reason
        self.key: Any = None
        self.index = -1


_PLAIN = (str, int, float, bool, type(None))


def _encode_table(values: List[Any]) -> list:
    encoded = []
    for index, value in enumerate(values):
        try:
            encoded.append(_encode_dict(value))
        except _Unsaveable as error:
            error.index = index
            raise
    return encoded


def _encode_dict(value: Any) -> list:
    """A slot value (a dict) as a JSON list of [key, value] pairs."""
    if type(value) is not dict:
        raise _Unsaveable(f"the slot holds a {type(value).__name__}, not a dict")
    pairs = []
    for key, item in value.items():
        try:
            pairs.append([_encode(key), _encode(item)])
        except _Unsaveable as error:
            error.key = key
            raise
    return pairs


def _encode(value: Any) -> Any:
    kind = type(value)
    if kind in _PLAIN:
        return value
    if kind is tuple or kind is list:
        items = [item if type(item) in _PLAIN else _encode(item) for item in value]
        return {"tuple" if kind is tuple else "list": items}
    if kind is dict:
        return {"dict": _encode_dict(value)}
    if kind is bytes:
        return {"bytes": base64.b64encode(value).decode("ascii")}
    raise _Unsaveable(f"a {kind.__module__}.{kind.__qualname__} value has no safe form")


def _decode_dict(pairs: Any) -> dict:
    if not isinstance(pairs, list):
        raise ValueError(f"a slot value is {type(pairs).__name__}, not a list of pairs")
    return _decode({"dict": pairs})


def _decode(value: Any) -> Any:
    if type(value) in _PLAIN:
        return value
    if not isinstance(value, dict) or len(value) != 1:
        raise ValueError(f"unknown value {str(value)[:60]}")
    (tag, items), = value.items()
    if tag == "bytes" and isinstance(items, str):
        return base64.b64decode(items, validate=True)
    if not isinstance(items, list):
        raise ValueError(f"{tag}: {str(items)[:60]} is not a list")
    if tag == "list" or tag == "tuple":
        decoded = [item if type(item) in _PLAIN else _decode(item) for item in items]
        return decoded if tag == "list" else tuple(decoded)
    if tag == "dict":
        if not all(isinstance(pair, list) and len(pair) == 2 for pair in items):
            raise ValueError("a dict entry is not a [key, value] pair")
        return {_decode(k): _decode(v) for k, v in items}
    raise ValueError(f"unknown tag {tag!r}")
