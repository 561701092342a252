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
