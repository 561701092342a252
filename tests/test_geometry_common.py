import os
import subprocess
import sys

import numpy as np
import pytest

import gorvinpy_bin as gorvin

COLUMNS = {"positions": 3, "normals": 3, "texcoords": 2, "colors": 4}


def arrays(n=5):
    ebds = {key: np.zeros((n, k), np.float32) for key, k in COLUMNS.items()}
    ebds["orient"] = np.zeros(n, bool)
    return ebds


def references(ebds):
    """Reference counts of the dict's values (kept out of assert statements, which hold their own)."""
    return [sys.getrefcount(value) for value in ebds.values()]


def at_offset(shape, dtype, offset):
    """A writable C-contiguous view whose data starts `offset` bytes after a 64-byte boundary."""
    size = int(np.prod(shape)) * np.dtype(dtype).itemsize
    raw = np.zeros(size + 128, np.uint8)
    start = -raw.ctypes.data % 64 + offset
    return raw[start : start + size].view(dtype).reshape(shape)


def test_numpy_is_imported_on_first_use_only():
    script = (
        "import sys, gorvinpy_bin\n"
        "assert 'numpy' not in sys.modules\n"
        "gorvinpy_bin.GeometryCommon()\n"
        "assert 'numpy' in sys.modules\n"
    )
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    subprocess.run([sys.executable, "-c", script], check=True, env=env)


def test_conforming_arrays_are_held_not_copied():
    ebds = arrays()
    before = references(ebds)
    geometry = gorvin.GeometryCommon(ebds)
    held = references(ebds)
    copy = gorvin.GeometryCommon(geometry)
    shared = references(ebds)
    assert str(geometry).startswith("GeometryCommon(vertex_count=5,")
    assert repr(copy) == repr(geometry)
    del geometry, copy
    after = references(ebds)
    assert [h - b for h, b in zip(held, before)] == [1] * 5
    assert [s - b for s, b in zip(shared, before)] == [2] * 5
    assert after == before


@pytest.mark.parametrize(
    "value",
    [np.zeros((5, 3), np.float32, order="F"), np.zeros((5, 3), ">f4"), np.zeros((5, 3), np.int16)],
)
def test_other_layouts_are_converted_into_a_private_array(value):
    ebds = {**arrays(), "positions": value}
    before = references(ebds)
    geometry = gorvin.GeometryCommon(ebds)
    after = references(ebds)
    assert "vertex_count=5" in str(geometry)
    assert [a - b for a, b in zip(after, before)] == [0, 1, 1, 1, 1]


def test_nested_lists_are_converted():
    ebds = {
        "positions": [[0, 1, 2], [3.5, 4, 5]],
        "normals": [[0, 0, 1]] * 2,
        "texcoords": [[0, 1], [1, 0]],
        "colors": [[1, 1, 1, 1]] * 2,
        "orient": [True, 0],
    }
    assert "vertex_count=2" in str(gorvin.GeometryCommon(ebds))


def test_empty_object_and_zero_rows():
    text = "GeometryCommon(vertex_count=0, simd_aligned_16=false, simd_aligned_32=false)"
    assert str(gorvin.GeometryCommon()) == repr(gorvin.GeometryCommon()) == text
    assert repr(gorvin.GeometryCommon(gorvin.GeometryCommon())) == text
    assert "vertex_count=0," in str(gorvin.GeometryCommon(arrays(0)))


@pytest.mark.parametrize(
    "key, dtype",
    [("positions", np.float64), ("colors", np.int32), ("orient", np.int8), ("orient", np.float32)],
)
def test_unsafe_casts_fail_in_numpy(key, dtype):
    ebds = arrays()
    ebds[key] = ebds[key].astype(dtype)
    with pytest.raises(TypeError, match="according to the rule 'safe'"):
        gorvin.GeometryCommon(ebds)


@pytest.mark.parametrize(
    "changes, message",
    [
        ({"positions": np.zeros((5, 4), np.float32)}, "Positions array must be of shape (n, 3)"),
        ({"positions": np.zeros(15, np.float32)}, "Positions array must be of shape (n, 3)"),
        (
            {"normals": np.zeros((5, 3, 1), np.float32), "colors": np.zeros((5, 3), np.float32)},
            "Normals array must be of shape (n, 3)",
        ),
        ({"texcoords": np.zeros((5, 3), np.float32)}, "Texcoords array must be of shape (n, 2)"),
        (
            {"colors": np.zeros((5, 3), np.float32), "orient": np.zeros((5, 1), bool)},
            "Colors array must be of shape (n, 4)",
        ),
        ({"orient": np.zeros((5, 1), bool)}, "Orient array must be of shape (n,) and dtype bool"),
        ({"colors": np.zeros((4, 4), np.float32)}, "All geometry arrays must share the same vertex"),
        ({"orient": np.zeros(6, bool)}, "All geometry arrays must share the same vertex count n"),
    ],
)
def test_checks_run_in_order(changes, message):
    with pytest.raises(RuntimeError) as error:
        gorvin.GeometryCommon({**arrays(), **changes})
    assert str(error.value).startswith(message)


@pytest.mark.parametrize("key", ["positions", "orient"])
def test_read_only_array_is_refused_after_the_shape_checks(key):
    ebds = arrays()
    ebds[key].flags.writeable = False
    message = "All geometry arrays must be writable for bidirectional C++/Python updates"
    with pytest.raises(RuntimeError) as error:
        gorvin.GeometryCommon(ebds)
    assert str(error.value) == message
    with pytest.raises(RuntimeError, match="same vertex count"):
        gorvin.GeometryCommon({**ebds, "colors": np.zeros((4, 4), np.float32)})


@pytest.mark.parametrize(
    "present, missing",
    [
        ({"position": 0, "normal": 0, "color": 0, "texcoord": 0}, "orient"),
        ({"orient": [True]}, "colors"),
        ({k: v for k, v in arrays().items() if k != "positions"}, "positions"),
    ],
)
def test_keys_are_read_in_order(present, missing):
    with pytest.raises(KeyError) as error:
        gorvin.GeometryCommon(present)
    assert error.value.args == (missing,)


def test_each_value_is_converted_before_the_next_key_is_read():
    with pytest.raises(TypeError, match="safe"):
        gorvin.GeometryCommon({"orient": np.zeros(5)})


@pytest.mark.parametrize("argument", [[1, 2], None, 3, gorvin.Modeler3D()])
def test_arguments_of_other_types_match_no_constructor(argument):
    with pytest.raises(TypeError):
        gorvin.GeometryCommon(argument)


@pytest.mark.parametrize(
    "key, offset, aligned16, aligned32",
    [
        ("positions", 0, "true", "true"),
        ("normals", 16, "true", "false"),
        ("texcoords", 48, "true", "false"),
        ("colors", 4, "false", "false"),
        ("orient", 3, "true", "true"),
    ],
)
def test_alignment_flags_cover_the_four_float_arrays(key, offset, aligned16, aligned32):
    ebds = {k: at_offset(a.shape, a.dtype, 0) for k, a in arrays().items()}
    ebds[key] = at_offset(ebds[key].shape, ebds[key].dtype, offset)
    before = references(ebds)
    geometry = gorvin.GeometryCommon(ebds)
    after = references(ebds)
    assert str(geometry).endswith(f"simd_aligned_16={aligned16}, simd_aligned_32={aligned32})")
    assert [a - b for a, b in zip(after, before)] == [1] * 5
