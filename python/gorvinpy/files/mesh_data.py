"""Point and cell data of meshes as embedding values of darts, and back, on whole arrays.

Point data (a number or a row of numbers per point) goes under its name into the vertex dict
(<1,2,3>, the dict that holds "position") of every dart at the point; cell data of a polygon into
the face dict (<0,1,3>) of each of its darts, and of a volume cell into the volume dict (<0,1,2>).
Back from a G-map, a name becomes an array when each point (cell) holds a number, or a row of
numbers of one length, under it; other names stay in the G-map only.
"""

from __future__ import annotations

from typing import Any, Dict, Iterable, Mapping, Optional

import numpy as np

import gorvinpy_bin

from .. import _native
from ..geometry.positions import POSITION_NAME

VERTEX_SLOT = _native.VERTEX_SLOT  # orbit <1,2,3>
FACE_SLOT = _native.FACE_SLOT  # orbit <0,1,3>
VOLUME_SLOT = _native.VOLUME_SLOT  # orbit <0,1,2>
DataArrays = Dict[str, np.ndarray]


def store_data(
    gmap: gorvinpy_bin.GMap3D, darts: Any, rows: np.ndarray, slot: int, data: Optional[Mapping[str, Any]],
    count: int, what: str,
) -> None:
    """Stores row rows[i] of each array of data under its name in the slot of darts[i].

    Each array has count rows (one per point or cell); ValueError naming the array otherwise, and
    for point data named "position", which the positions hold.
    """
    if not data:
        return
    keys, columns = [], []
    for name, values in data.items():
        array = np.asarray(values)
        if array.ndim == 0 or len(array) != count:
            raise ValueError(f"{what} data {name!r} has shape {array.shape}, not one row for each of {count} {what}s")
        if slot == VERTEX_SLOT and name == POSITION_NAME:
            raise ValueError(f"point data may not be named {POSITION_NAME!r}: the positions hold that name")
        keys.append(str(name))
        columns.append(tuple(_rows(array)))
    _native.store_items(gmap, dart_array(darts), slot, tuple(keys), tuple(columns), rows)


def dart_array(darts: Any) -> np.ndarray:
    """Dart ids as an int64 array; a range without a Python loop over it."""
    if isinstance(darts, range):
        return np.arange(darts.start, darts.stop, darts.step, dtype=np.int64)
    return np.asarray(darts, dtype=np.int64)


def read_data(gmap: gorvinpy_bin.GMap3D, darts: np.ndarray, slot: int) -> DataArrays:
    """The arrays under each name found in the slot of darts (one row per dart); the positions and
    names whose values are not numbers of one shape are left out."""
    skipped = {POSITION_NAME} if slot == VERTEX_SLOT else set()
    columns = _native.slot_columns(gmap, dart_array(darts), slot, skipped)
    arrays = {}
    for name, values in columns.items():
        array = _numeric(values)
        if isinstance(name, str) and array is not None:
            arrays[name] = array
    return arrays


def common_data(parts: Iterable[DataArrays]) -> Dict[str, list]:
    """The names that every part holds with rows of one shape, each as the list of its parts' arrays."""
    parts = list(parts)
    if not parts:
        return {}
    names = [name for name in parts[0] if all(
        name in part and part[name].shape[1:] == parts[0][name].shape[1:] for part in parts)]
    return {name: [part[name] for part in parts] for name in names}


def _rows(array: np.ndarray):
    """The rows of an array as Python values: numbers, or tuples of numbers (deeper rows flattened)."""
    if array.ndim == 1:
        return array.tolist()
    return map(tuple, array.reshape(len(array), -1).tolist())


def _numeric(values: list) -> Optional[np.ndarray]:
    try:
        array = np.asarray(values)
    except ValueError:  # rows of different lengths
        return None
    return array if array.dtype.kind in "biuf" else None
