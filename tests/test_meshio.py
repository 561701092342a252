"""OBJ and OFF reading, OBJ and PLY writing, on plain lists."""

import pytest

from gorvinpy.files.polygon_files import MeshFormatError, read_mesh, read_obj, read_off, write_obj, write_ply

SQUARE_POINTS = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (1.0, 1.0, 0.0), (0.0, 1.0, 0.0)]


def write(tmp_path, name, text):
    path = tmp_path / name
    path.write_text(text)
    return path


def test_obj_faces_in_every_index_form(tmp_path):
    path = write(
        tmp_path,
        "square.obj",
        "# a square and a triangle\nmtllib x.mtl\no square\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
        "v 0 1 0 1.0\nvt 0 0\nvn 0 0 1\ns off\nf 1/1/1 2//1 3/1 4\nf -4 -2 \\\n -1\n",
    )
    mesh = read_obj(path)
    assert mesh.points == SQUARE_POINTS
    assert mesh.faces == [[0, 1, 2, 3], [0, 2, 3]]


def test_off_with_colours_comments_and_header_variants(tmp_path):
    text = (
        "# comment\n{header}\n4 2 5\n0 0 0 1 0 0\n1 0 0\n1 1 0\n0 1 0  # last\n\n"
        "3 0 1 2 0.5 0.5 0.5\n3 0 2 3\n"
    )
    for header in ("OFF", "COFF", "STCNOFF"):
        mesh = read_off(write(tmp_path, "square.off", text.format(header=header)))
        assert mesh.points == SQUARE_POINTS
        assert mesh.faces == [[0, 1, 2], [0, 2, 3]]
    inline = read_off(write(tmp_path, "inline.off", "OFF 4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"))
    headless = read_off(write(tmp_path, "headless.off", "4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"))
    assert inline == headless and inline.faces == [[0, 1, 2, 3]]


MALFORMED = [
    (
        "bad.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 4\n",
        4,
        "face names vertex 4, but the file has 3 vertices",
    ),
    ("bad.obj", "v 0 0\n", 1, "a vertex needs 3 coordinates, got 2"),
    ("bad.obj", "v 0 0 zero\n", 1, "'zero' is not a number"),
    ("bad.obj", "v 0 0 0\nv 1 0 0\nf 1 2\n", 3, "a face needs at least 3 vertices, got 2"),
    ("bad.obj", "v 0 0 0\nf 0 1 1\n", 2, "vertex index 0 (OBJ indices start at 1)"),
    ("bad.obj", "v 0 0 0\nf -2 1 1\n", 2, "relative index -2 goes back past the first vertex"),
    ("bad.obj", "hello world\n", 1, "unknown statement 'hello'"),
    ("bad.off", "", 0, "empty file"),
    ("bad.off", "PLY\n", 1, "expected the OFF header, got 'PLY'"),
    ("bad.off", "4OFF\n", 1, "4OFF is not a 3D OFF file"),
    ("bad.off", "OFF BINARY\n1 0 0\n", 1, "binary OFF files are not supported"),
    ("bad.off", "OFF\n3\n", 2, "expected the vertex and face counts"),
    ("bad.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n", 4, "file ends early: expected 3 vertices"),
    ("bad.off", "OFF\n3 2 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n", 6, "file ends early: expected 2 faces"),
    (
        "bad.off",
        "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 5\n",
        6,
        "face names vertex 5, but the file has 3 vertices",
    ),
    ("bad.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n4 0 1 2\n", 6, "face lists 3 of its 4 vertices"),
    ("bad.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n2 0 1\n", 6, "a face needs at least 3 vertices, got 2"),
    (
        "bad.off",
        "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n3 0 1 2\n",
        7,
        "unexpected content after the 1 faces",
    ),
    ("bad.off", "OFF\n3 1.5 0\n", 2, "'1.5' is not an integer count"),
]


@pytest.mark.parametrize("name, text, line, fault", MALFORMED)
def test_malformed_files_name_the_line_and_the_fault(tmp_path, name, text, line, fault):
    path = write(tmp_path, name, text)
    with pytest.raises(MeshFormatError) as caught:
        read_mesh(path)
    assert str(caught.value).startswith(f"{path}:{line}: {fault}")
    assert caught.value.line == line


def test_binary_content_and_unknown_suffix_are_refused(tmp_path):
    binary = tmp_path / "mesh.obj"
    binary.write_bytes(b"v 0 0 0\n\xff\xfe\x00")
    with pytest.raises(MeshFormatError, match="not a text file"):
        read_obj(binary)
    with pytest.raises(ValueError, match="unknown mesh format '.stl'"):
        read_mesh(tmp_path / "mesh.stl")


def test_written_obj_reads_back_exactly(tmp_path):
    points = [(0.1, -2.5, 1e-12), (1.0 / 3.0, 4.0, 5.5), (7.0, 8.0, 9.0)]
    write_obj(tmp_path / "out.obj", points, [[0, 1, 2]])
    mesh = read_obj(tmp_path / "out.obj")
    assert mesh.points == points and mesh.faces == [[0, 1, 2]]


def test_written_ply_has_header_vertices_and_faces(tmp_path):
    write_ply(tmp_path / "out.ply", SQUARE_POINTS, [[0, 1, 2, 3]])
    lines = (tmp_path / "out.ply").read_text().splitlines()
    end = lines.index("end_header")
    assert lines[0] == "ply" and "format ascii 1.0" in lines
    assert "element vertex 4" in lines and "element face 1" in lines
    assert "property list uchar int vertex_indices" in lines
    body = lines[end + 1 :]
    assert [tuple(map(float, line.split())) for line in body[:4]] == SQUARE_POINTS
    assert body[4:] == ["4 0 1 2 3"]
