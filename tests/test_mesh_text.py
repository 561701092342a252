"""OBJ and OFF text as the readers take it: a corpus of odd but readable files with the points and
faces they hold, and of broken files with the line and the fault each names."""

from math import inf, nan
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
from gorvinpy.files.polygon_files import MeshFormatError

TRIANGLE = [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [1.0, 1.0, 0.0]]
SQUARE = TRIANGLE + [[0.0, 1.0, 0.0]]

READABLE = [
    (
        ".obj",
        (
            b"# a square\r\nmtllib x.mtl\r\no sq\r\nv 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\nv 0 1 0 1.0\r\n"
            b"vt 0 0\r\nvn 0 0 1\r\ns off\r\nf 1/1/1 2//1 3/1 4/\r\nfo -4 -2 \\\r\n -1\r\n"
        ),
        SQUARE,
        [[0, 1, 2, 3], [0, 2, 3]],
    ),
    (".obj", b"v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r", [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [0.0, 1.0, 0.0]], [[0, 1, 2]]),
    (".obj", b"v 0 0 0\nf 1 2 3\nv 1 0 0\nv 0 1 0\n", [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [0.0, 1.0, 0.0]], [[0, 1, 2]]),
    (
        ".obj",
        b"v 1 2 \\ # c\n3\nv 4\\\n5 6 # tail \\\nv 7 8 9\\",
        [[1.0, 2.0, 3.0], [4.0, 5.0, 6.0], [7.0, 8.0, 9.0]],
        [],
    ),
    (
        ".obj",
        (
            b"v +1.5e-3 -2 .5\nv 5. 1E+2 1e400\nv -1e-400 inf -Infinity\n"
            b"v 1_0 \xd9\xa1\xd9\xa2 \xef\xbc\x90.\xef\xbc\x95\nv nan +nan -NaN\n"
        ),
        [[0.0015, -2.0, 0.5], [5.0, 100.0, inf], [-0.0, inf, -inf], [10.0, 12.0, 0.5], [nan, nan, nan]],
        [],
    ),
    (".obj", b"", [], []),
    (".obj", b"# only comments\n\n   \n", [], []),
    (".obj", b"v 0 0 0 # \\\nf 1 1 1\n", [[0.0, 0.0, 0.0]], [[0, 0, 0]]),
    (".obj", b"v 1 2 3\r\r\nv 1 1 1\r\n\rf 1 2 -1\n", [[1.0, 2.0, 3.0], [1.0, 1.0, 1.0]], [[0, 1, 1]]),
    (".obj", b"v 0 0 0\nf 1 1 1 \\", [[0.0, 0.0, 0.0]], [[0, 0, 0]]),
    (".obj", b"v 0 0 0\nf 1/abc 1// 1/1/1\n", [[0.0, 0.0, 0.0]], [[0, 0, 0]]),
    (
        ".obj",
        b"# comment\r\nv +1.5e-3 -2 .5\r\nv 1. 2 3 # tail\r\nv 1E2 0 0\r\n\r\nfo 1 2 3\r\nusemtl x\r\n",
        [[0.0015, -2.0, 0.5], [1.0, 2.0, 3.0], [100.0, 0.0, 0.0]],
        [[0, 1, 2]],
    ),
    (".obj", b"v 0 0 0 \\\n 1\n", [[0.0, 0.0, 0.0]], []),
    (
        ".obj",
        b"v 0 0 0\nv 0 0 0\nv 0 0 0\nf 3 -3 1 2 -1\nv 9 9 9\n",
        [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0], [0.0, 0.0, 0.0], [9.0, 9.0, 9.0]],
        [[2, 0, 0, 1, 2]],
    ),
    (
        ".off",
        b"OFF\n4 2 5\n0 0 0 1 0 0\n1 0 0\n1 1 0\n0 1 0  # last\n\n3 0 1 2 0.5 0.5 0.5\n3 0 2 3\n",
        SQUARE,
        [[0, 1, 2], [0, 2, 3]],
    ),
    (".off", b"# c\nSTCNOFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"COFF\n3 1\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2 junk\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"NOFF 3 1 0 extra\n0 0 0\n1 0 0\n1 1 0\n3 +0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"STOFF\r\n3 1 0\r\n0 0 0\r\n1 0 0\r\n1 1 0\r\n3 0 1 2#c\r\n# after\r\n\r\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"CNOFF\r3 1 0\r0 0 0\r1 0 0\r1 1 0\r3 0 1 2\r", TRIANGLE, [[0, 1, 2]]),
    (".off", b"3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"OFF # comment\n\n\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"OFF\n0 0\n", [], []),
    (
        ".off",
        b"OFF\n3 1 0\n1_0 nan -inf\n\xd9\xa1 0 0\n1e400 0 0\n3 0 1 2\n",
        [[10.0, nan, -inf], [1.0, 0.0, 0.0], [inf, 0.0, 0.0]],
        [[0, 1, 2]],
    ),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0_0 0_1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"OFF\n3 1 0\n0 0 0\r1 0 0\r\n1 1 0\n3 0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"OFF\x0b3\xe3\x80\x801 0\n0 0 0\n1\xc2\xa00 0\n1 1 0\n3 0 1 2\n", TRIANGLE, [[0, 1, 2]]),
    (".off", b"OFF\n1 0\n0 0 0 \\\n", [[0.0, 0.0, 0.0]], []),
    (".off", b"OFF 3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 +0 1 2\n", TRIANGLE, [[0, 1, 2]]),
]

BROKEN = [
    (".obj", b"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 4\n", 4, "face names vertex 4, but the file has 3 vertices"),
    (".obj", b"v 0 0\n", 1, "a vertex needs 3 coordinates, got 2"),
    (".obj", b"v 0 0 zero\n", 1, "'zero' is not a number"),
    (".obj", b"v 0 0 0\nv 1 0 0\nf 1 2\n", 3, "a face needs at least 3 vertices, got 2"),
    (".obj", b"v 0 0 0\nf 0 1 1\n", 2, "vertex index 0 (OBJ indices start at 1)"),
    (".obj", b"v 0 0 0\nf -2 1 1\n", 2, "relative index -2 goes back past the first vertex"),
    (".obj", b"hello world\n", 1, "unknown statement 'hello'"),
    (
        ".obj",
        (
            b"v\xc2\xa01\xe2\x80\x802\xe3\x80\x803\x0b\x0c\x1c\nv 1\t2\t3\xc2\x85\n"
            b"v\xe1\x9a\x801\xe2\x80\xa82\xe2\x81\x9f3\xe2\x80\xaf\nv 1\xe2\x80\x8b2 3\nv 0 0 0\n"
            b"f 1 2 3\n"
        ),
        4,
        "a vertex needs 3 coordinates, got 2",
    ),
    (
        ".obj",
        b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf +1 0_2 3\nf 1_0/2 2 3\n",
        5,
        "face names vertex 10, but the file has 3 vertices",
    ),
    (".obj", b"\\\nv 1 2\n", 1, "a vertex needs 3 coordinates, got 2"),
    (".obj", b"v 0 0 0\nf 1 \\\n 2\n", 2, "a face needs at least 3 vertices, got 2"),
    (".obj", b"v 1\\2 0 0\n", 1, "'1\\\\2' is not a number"),
    (".obj", b"v 1\\\\\n2 3\n", 1, "'1\\\\' is not a number"),
    (".obj", b"\xc3\xbcnknown 1\n", 1, "unknown statement 'ünknown'"),
    (".obj", b"\xef\xbb\xbfv 1 2 3\n", 1, "unknown statement '\\ufeffv'"),
    (".obj", b"v 0 0 0\x00\n", 1, "'0\\x00' is not a number"),
    (".obj", b"v 0 0 nan(1)\n", 1, "'nan(1)' is not a number"),
    (".obj", b"v 0 0 +-1\n", 1, "'+-1' is not a number"),
    (".obj", b"v 0 0 0x10\n", 1, "'0x10' is not a number"),
    (".obj", b"v 0 0 1,5\n", 1, "'1,5' is not a number"),
    (".obj", b"v 0 0 1__0\n", 1, "'1__0' is not a number"),
    (".obj", b"v 0 0 0\nf /1 1 1\n", 2, "'' is not an integer vertex index"),
    (".obj", b"v 0 0 0\nf 1.0 1 1\n", 2, "'1.0' is not an integer vertex index"),
    (".obj", b"v 0 0 0\nf -0 1 1\n", 2, "vertex index 0 (OBJ indices start at 1)"),
    (
        ".obj",
        b"v 0 0 0\nf 1 1 99999999999999999999\n",
        2,
        "face names vertex 99999999999999999999, but the file has 1 vertices",
    ),
    (
        ".obj",
        b"v 0 0 0\nf 1 1 -99999999999999999999\n",
        2,
        "relative index -99999999999999999999 goes back past the first vertex",
    ),
    (".obj", b"v 0 0 0\nf 1 2 3\nf 1 1 1\nv 0 0 x\n", 4, "'x' is not a number"),
    (
        ".obj",
        b"v 0 0 0\nf 1 1 1\nf 1 2 4\nf 1 5 1\nv 1 0 0\nv 0 1 0\n",
        3,
        "face names vertex 4, but the file has 3 vertices",
    ),
    (
        ".obj",
        b"v 0 0 0\nv 0 0 0\nv 0 0 0\nf 1 2 3 99999999999999999999999\n",
        4,
        "face names vertex 99999999999999999999999, but the file has 3 vertices",
    ),
    (".obj", b"V 1 2 3\n", 1, "unknown statement 'V'"),
    (".obj", b"v 0 0 0\nf 1 1\n", 2, "a face needs at least 3 vertices, got 2"),
    (".obj", b"v 0 0 0\nf\n", 2, "a face needs at least 3 vertices, got 0"),
    (".obj", b"v\n", 1, "a vertex needs 3 coordinates, got 0"),
    (".obj", b"v 0 0 0\n\xff\xfe\x00", 0, "not a text file (invalid start byte)"),
    (".obj", b"v 0 0 0\n\xe2\x82A\n", 0, "not a text file (invalid continuation byte)"),
    (".obj", b"v 0 0 0\n\xe2\x82", 0, "not a text file (unexpected end of data)"),
    (".obj", b"v 0 0 0\n\xed\xa0\x80\n", 0, "not a text file (invalid continuation byte)"),
    (".obj", b"v 0 0 0\n\xc0\x80\n", 0, "not a text file (invalid start byte)"),
    (".obj", b"v 0 0 0\n\xf0\x9f\x98", 0, "not a text file (unexpected end of data)"),
    (".obj", b"v 0 0 0\nf 1 1 1\nf 1 1 2\nlol\n", 4, "unknown statement 'lol'"),
    (".obj", b"v 0 0 0\nf -1 -1 -2\n", 2, "relative index -2 goes back past the first vertex"),
    (".off", b"", 0, "empty file"),
    (".off", b"# only a comment\n\n", 0, "empty file"),
    (".off", b"PLY\n", 1, "expected the OFF header, got 'PLY'"),
    (".off", b"off\n3 1 0\n", 1, "expected the OFF header, got 'off'"),
    (".off", b"OFFX\n", 1, "expected the OFF header, got 'OFFX'"),
    (".off", b"4OFF\n", 1, "4OFF is not a 3D OFF file"),
    (".off", b"nOFF\n", 1, "nOFF is not a 3D OFF file"),
    (".off", b"4nOFF\n", 1, "4nOFF is not a 3D OFF file"),
    (".off", b"STnOFF\n", 1, "STnOFF is not a 3D OFF file"),
    (".off", b"XOFF\n", 1, "unknown OFF variant 'XOFF'"),
    (".off", b"x4OFF\n", 1, "x4OFF is not a 3D OFF file"),
    (".off", b"\xef\xbb\xbfOFF\n", 1, "unknown OFF variant '\\ufeffOFF'"),
    (".off", b"OFF BINARY\n1 0 0\n", 1, "binary OFF files are not supported"),
    (".off", b"OFF binary\n", 1, "binary OFF files are not supported"),
    (".off", b"OFF b\xc4\xb1nary\n", 1, "binary OFF files are not supported"),
    (".off", b"OFF binaryx\n", 1, "'binaryx' is not an integer count"),
    (".off", b"OFF 3\n", 1, "expected the vertex and face counts"),
    (".off", b"OFF\n", 1, "expected the vertex and face counts"),
    (".off", b"OFF\n3\n", 2, "expected the vertex and face counts"),
    (".off", b"3.5 1\n", 1, "'3.5' is not an integer count"),
    (".off", b"-1 0\n", 1, "expected the vertex and face counts"),
    (".off", b"1e2 1\n", 1, "'1e2' is not an integer count"),
    (".off", b"inf 1\n", 1, "'inf' is not an integer count"),
    (".off", b"OFF\nOFF\n", 2, "'OFF' is not an integer count"),
    (".off", b"OFF\n3 -1\n", 2, "expected the vertex and face counts"),
    (".off", b"OFF\n3 1.5 0\n", 2, "'1.5' is not an integer count"),
    (".off", b"OFF\n99999999999999999999 0\n", 2, "file ends early: expected 99999999999999999999 vertices"),
    (".off", b"OFF\n3 1 0\n0 0\n", 3, "a vertex needs 3 coordinates, got 2"),
    (".off", b"OFF\n3 1 0\n0 0 x\n", 3, "'x' is not a number"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n", 4, "file ends early: expected 3 vertices"),
    (".off", b"OFF\n3 2 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n", 6, "file ends early: expected 2 faces"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 5\n", 6, "face names vertex 5, but the file has 3 vertices"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 -1 2\n", 6, "face names vertex -1, but the file has 3 vertices"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 99 x\n", 6, "'x' is not an integer vertex index"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n4 0 1 2\n", 6, "face lists 3 of its 4 vertices"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n2 0 1\n", 6, "a face needs at least 3 vertices, got 2"),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3.0 0 1 2\n", 6, "'3.0' is not an integer face size"),
    (
        ".off",
        b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n99999999999999999999 0 1 2\n",
        6,
        "face lists 3 of its 99999999999999999999 vertices",
    ),
    (
        ".off",
        b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n-99999999999999999999 0 1 2\n",
        6,
        "a face needs at least 3 vertices, got -99999999999999999999",
    ),
    (
        ".off",
        b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 99999999999999999999\n",
        6,
        "face names vertex 99999999999999999999, but the file has 3 vertices",
    ),
    (".off", b"OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n3 0 1 2\n", 7, "unexpected content after the 1 faces"),
    (".off", b"OFF\n0 1\n3 0 0 0\n", 3, "face names vertex 0, but the file has 0 vertices"),
    (".off", b"OFF\n3 1 0\n0 0 0\n\xff\n", 0, "not a text file (invalid start byte)"),
]


def written(tmp_path, suffix, data):
    path = tmp_path / f"mesh{suffix}"
    path.write_bytes(data)
    return path


@pytest.mark.parametrize("suffix, data, points, faces", READABLE)
def test_readable_text_gives_its_points_and_faces(tmp_path, suffix, data, points, faces):
    mesh = gorvinpy.read_mesh(written(tmp_path, suffix, data))
    assert mesh.coordinates.dtype == np.float64 and mesh.coordinates.shape == (len(points), 3)
    assert mesh.corners.dtype == np.int64 and mesh.offsets.dtype == np.int64
    assert np.array_equal(mesh.coordinates, np.array(points).reshape(-1, 3), equal_nan=True)
    assert mesh.faces == faces


@pytest.mark.parametrize("suffix, data, line, fault", BROKEN)
def test_broken_text_names_the_line_and_the_fault(tmp_path, suffix, data, line, fault):
    path = written(tmp_path, suffix, data)
    with pytest.raises(MeshFormatError) as caught:
        gorvinpy.read_mesh(path)
    assert str(caught.value) == f"{path}:{line}: {fault}"
    assert (caught.value.source, caught.value.line) == (str(path), line)


LINES = b"".join(b"v %d 0 0\n" % i for i in range(4000))  # 8 KiB blocks end inside it


@pytest.mark.parametrize(
    "data, line, fault",
    [
        (b"v 0\n" + LINES[:100] + b"\xff" + LINES, 0, "not a text file (invalid start byte)"),
        (b"v 0\n" + LINES + b"\xff", 1, "a vertex needs 3 coordinates, got 1"),
        (LINES[:8190] + b"v 0\r\xe2\x82", 0, "not a text file (unexpected end of data)"),
        (LINES + b"v 0\n\xe2\x82", 4001, "a vertex needs 3 coordinates, got 1"),
    ],
)
def test_bad_bytes_are_met_where_python_decoding_meets_them(tmp_path, data, line, fault):
    path = written(tmp_path, ".obj", data)
    with pytest.raises(MeshFormatError) as caught:
        gorvinpy.read_obj(path)
    assert str(caught.value) == f"{path}:{line}: {fault}"


@pytest.mark.parametrize("make, error", [(lambda path: None, FileNotFoundError), (Path.mkdir, IsADirectoryError)])
def test_unreadable_paths_raise_what_open_raises(tmp_path, make, error):
    path = tmp_path / "mesh.off"
    make(path)
    with pytest.raises(error, match="mesh.off"):
        gorvinpy.read_off(path)
