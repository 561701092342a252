"""The README's snippets and the main example run and print what they say."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

import gorvinpy

ROOT = Path(__file__).resolve().parents[1]


def readme_snippets():
    return re.findall(r"```python\n(.*?)```", (ROOT / "README.md").read_text(), flags=re.S)


def test_readme_snippets_print_what_their_comments_say(capsys):
    pytest.importorskip("matplotlib")
    namespace = {}
    for snippet in readme_snippets():
        exec(compile(snippet, "README.md", "exec"), namespace)
        printed = capsys.readouterr().out.splitlines()
        expected = [
            line.split("# ", 1)[1]
            for line in snippet.splitlines()
            if line.startswith("print(") and "# " in line
        ]
        for shown, comment in zip(printed, expected):
            assert shown == comment.split(" : ")[0], snippet
    assert namespace["folder"].joinpath("box.png").stat().st_size > 0


def run_example(name, folder):
    """Runs examples/name with the output folder; its standard output once it succeeded."""
    result = subprocess.run(
        [sys.executable, str(ROOT / "examples" / name), str(folder)],
        capture_output=True,
        text=True,
        timeout=300,
    )
    assert result.returncode == 0, result.stderr
    return result


def test_main_example_writes_the_obj_and_the_picture(tmp_path):
    pytest.importorskip("matplotlib")
    result = run_example("main.py", tmp_path)
    assert result.stderr == ""
    lines = result.stdout.splitlines()
    assert (
        lines[0].startswith("cube ")
        and "vertices   8  edges  12  faces   6  Euler characteristic 2" in lines[0]
    )
    assert "vertices  74  edges 144  faces  72  Euler characteristic 2" in lines[2]
    assert lines[3] == "G-map conditions: all hold"
    assert lines[4].endswith("read back: 74 vertices, 144 edges, 72 faces")
    again = gorvinpy.cell_counts(gorvinpy.import_mesh(tmp_path / "cube.obj"))
    assert (again.vertices, again.edges, again.faces, again.euler) == (74, 144, 72, 2)
    assert (tmp_path / "cube.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_volume_example_writes_the_volume_file_the_picture_and_the_page(tmp_path):
    pytest.importorskip("matplotlib")
    pytest.importorskip("gmsh")
    meshio = pytest.importorskip("meshio")
    lines = run_example("volume.py", tmp_path).stdout.splitlines()
    counts = [re.search(r"volumes +(\d+) +V-E\+F-C (-?\d+)", line) for line in lines[:3]]
    meshed, extruded, cut = (int(match.group(1)) for match in counts)
    assert extruded == meshed + 1 and cut > 4 * extruded
    assert all(match.group(2) == "1" for match in counts)
    assert lines[3] == "G-map conditions: all hold"
    written = meshio.read(tmp_path / "cylinder.vtu")
    assert [(block.type, len(block.data)) for block in written.cells] == [("tetra", cut)]
    assert (tmp_path / "cylinder.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert "<canvas" in (tmp_path / "cylinder.html").read_text()
