"""The command line on real files and on bad ones: output, exit codes, and messages naming the file."""

import json
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import gorvinpy
from gorvinpy import cli


def run(capsys, *argv):
    code = cli.main([str(arg) for arg in argv])
    out, err = capsys.readouterr()
    return code, out, err


@pytest.fixture
def cube(geomview):
    return geomview / "cube.off"


@pytest.fixture
def faulty(tmp_path, geomview):
    """A saved G-map whose dart 0 links to dart 1 along alpha0 while dart 1 stays free."""
    gmap = gorvinpy.import_mesh(geomview / "tetra.off")
    path = tmp_path / "faulty.npz"
    gorvinpy.save(gmap, path)
    members = dict(np.load(path))
    members["links"][1, 0] = 1
    members["links"][0, 0] = 1
    np.savez_compressed(path, **members)
    return path


@pytest.fixture
def bad_off(tmp_path):
    path = tmp_path / "bad.off"
    path.write_text("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 x\n3 0 1 2\n")
    return path


def test_info_counts_a_real_file(capsys, geomview):
    code, out, err = run(capsys, "info", geomview / "mushroom.off")
    assert code == cli.EXIT_OK and err == ""
    lines = dict(line.split(":", 1) for line in out.splitlines())
    assert {key: int(lines[key]) for key in ("darts", "vertices", "edges", "faces", "faults")} == {
        "darts": 1856, "vertices": 226, "edges": 464, "faces": 240, "faults": 0}
    assert int(lines["Euler characteristic (V - E + F)"]) == 2


def test_info_json_of_a_volume_mesh(capsys, tmp_path):
    meshio = pytest.importorskip("meshio")
    path = tmp_path / "two.vtu"
    meshio.write(path, meshio.Mesh(np.eye(5, 3) + [0, 0, 0], [("tetra", [[0, 1, 2, 3], [1, 2, 3, 4]])]))
    code, out, _ = run(capsys, "info", "--json", path)
    summary = json.loads(out)
    assert code == 0 and summary["volumes"] == 2 and summary["V - E + F - volumes"] == 1


def test_check_passes_a_sound_file_and_fails_a_faulty_one(capsys, cube, faulty):
    assert run(capsys, "check", cube) == (0, f"{cube}: a sound G-map of 48 darts\n", "")
    code, out, _ = run(capsys, "check", faulty)
    assert code == cli.EXIT_FAULTS
    assert out.startswith(f"{faulty}: ") and "  alpha0(0) = 1 but alpha0(1) = 1\n" in out


@pytest.mark.parametrize("suffix", [".vtu", ".obj", ".npz"])
def test_convert_keeps_the_counts(capsys, cube, tmp_path, suffix):
    out_path = tmp_path / f"cube{suffix}"
    code, out, _ = run(capsys, "convert", cube, out_path)
    assert code == 0 and out == f"{out_path}: 48 darts written\n"
    again = gorvinpy.read_gmap(out_path)
    assert gorvinpy.cell_counts(again) == gorvinpy.cell_counts(gorvinpy.import_mesh(cube))


@pytest.mark.parametrize(
    "operation, faces", [("triangulate", 24), ("quad_subdivide", 24), ("triangulate((0, 1, 3))", 9)]
)
def test_apply_an_operation_by_name(capsys, cube, tmp_path, operation, faces):
    out_path = tmp_path / "out.obj"
    code, out, _ = run(capsys, "apply", operation, cube, out_path)
    assert code == 0 and "applied to 1 connected part" in out
    assert gorvinpy.cell_counts(gorvinpy.import_mesh(out_path)).faces == faces


def test_apply_reaches_every_connected_part(capsys, geomview, tmp_path):
    two = gorvinpy.import_mesh(geomview / "cube.off")
    gorvinpy.import_mesh(geomview / "tetra.off", two)
    gorvinpy.save(two, tmp_path / "two.npz")
    code, out, _ = run(capsys, "apply", "triangulate", tmp_path / "two.npz", tmp_path / "out.npz")
    assert code == 0 and "applied to 2 connected parts" in out
    assert gorvinpy.cell_counts(gorvinpy.load(tmp_path / "out.npz")).faces == 6 * 4 + 4 * 3


def test_view_writes_the_page(capsys, cube, tmp_path):
    page = tmp_path / "cube.html"
    code, out, _ = run(capsys, "view", "--no-open", "-o", page, cube)
    assert code == 0 and out == f"{page}\n"
    assert "cube.off" in page.read_text()


@pytest.mark.parametrize("command", [["info"], ["check"], ["convert"], ["apply", "triangulate"], ["view", "--no-open"]])
@pytest.mark.parametrize("kind", ["missing", "malformed"])
def test_bad_input_files_are_named(capsys, tmp_path, bad_off, command, kind):
    path = tmp_path / "missing.off" if kind == "missing" else bad_off
    outputs = [tmp_path / "out.obj"] if command[0] in ("convert", "apply") else []
    code, out, err = run(capsys, *command, path, *outputs)
    reason = "No such file or directory" if kind == "missing" else ":5: 'x' is not a number"
    assert code == cli.EXIT_FILE and out == ""
    assert err.startswith(f"gorvin: error: {path}") and reason in err
    assert not (tmp_path / "out.obj").exists()


def test_an_output_that_cannot_be_written_is_named(capsys, cube, tmp_path):
    code, _, err = run(capsys, "convert", cube, tmp_path / "cube.nothing")
    assert code == cli.EXIT_FILE and err.startswith(f"gorvin: error: {tmp_path / 'cube.nothing'}: unknown mesh format")


@pytest.mark.parametrize("operation, message", [
    ("no_such_thing", "unknown operation 'no_such_thing' (known: "),
    ("mesh", "operation mesh() cannot be built (mesh() missing 2 required positional arguments"),
    ("sew_volumes", "rule 'sew_volumes' takes 2 hook darts"),
    ("extrude(open('x'))", "is not an operation name or a call with literal arguments"),
])
def test_operations_that_cannot_be_applied_from_the_command_line(capsys, cube, tmp_path, operation, message):
    code, _, err = run(capsys, "apply", operation, cube, tmp_path / "out.obj")
    assert code == cli.EXIT_USAGE and message in err and not (tmp_path / "out.obj").exists()


def test_an_operation_whose_result_has_faults_writes_nothing(capsys, tmp_path, monkeypatch, cube):
    monkeypatch.setattr(cli, "apply_to_parts", _one_sided_link)
    code, _, err = run(capsys, "apply", "triangulate", cube, tmp_path / "out.obj")
    assert code == cli.EXIT_OPERATION and "the result has" in err and "out.obj not written" in err
    assert not (tmp_path / "out.obj").exists()


def _one_sided_link(gmap, rule, progress=None):
    links = gorvinpy._native.links(gmap)
    gorvinpy._native.link_pairs(gmap, 0, [0], [int(links[1, 1])])  # dart 0 sewn to a dart of another edge
    return 1


@pytest.mark.parametrize("command", ["info", "check", "convert", "apply", "view"])
def test_help_of_each_command(capsys, command):
    with pytest.raises(SystemExit) as stop:
        cli.main([command, "--help"])
    out = capsys.readouterr().out
    assert stop.value.code == 0 and out.startswith(f"usage: gorvin {command}") and "exit codes:" in out
    if command == "apply":  # the package's operations, found by name
        assert "  triangulate(orbit=(0, 1, 2, 3)): " in out and "  quad_subdivide(): " in out


def test_module_and_console_script_run_with_clean_output(cube):
    script = Path(sys.executable).with_name("gorvin")
    for command in ([sys.executable, "-m", "gorvinpy"], [str(script)]):
        done = subprocess.run(command + ["check", str(cube)], capture_output=True, text=True, env={})
        assert (done.returncode, done.stdout, done.stderr) == (0, f"{cube}: a sound G-map of 48 darts\n", "")
    done = subprocess.run([sys.executable, "-m", "gorvinpy"], capture_output=True, text=True)
    assert done.returncode == cli.EXIT_USAGE and "required: COMMAND" in done.stderr


@pytest.mark.parametrize("flag, environment, shown", [
    ([], {}, False), (["--progress"], {}, True), ([], {"GORVIN_PROGRESS": "1"}, True),
    (["--no-progress"], {"GORVIN_PROGRESS": "1"}, False),
])
def test_progress_bar_only_when_asked(capfd, monkeypatch, cube, flag, environment, shown):
    for name, value in environment.items():
        monkeypatch.setenv(name, value)
    assert cli.main(["info", *flag, str(cube)]) == 0
    assert ("info cube.off" in capfd.readouterr().err) == shown


@pytest.mark.parametrize("terminal, long_work, shown", [(True, True, True), (True, False, False), (False, True, False)])
def test_by_default_bars_show_for_long_work_on_a_terminal(monkeypatch, terminal, long_work, shown):
    from gorvinpy import progress

    monkeypatch.delenv(progress.ENVIRONMENT, raising=False)
    monkeypatch.setattr(sys.stderr, "isatty", lambda: terminal)
    assert progress.wanted(None, long_work) == shown


def test_deleted_darts_are_not_counted(capsys, tmp_path, geomview):
    gmap = gorvinpy.import_mesh(geomview / "tetra.off")
    gorvinpy.import_mesh(geomview / "tetra.off", gmap)
    for dart in range(24, 48):  # the second tetrahedron, deleted whole
        gmap.get(dart).delete()
    gorvinpy.save(gmap, tmp_path / "half.npz")
    code, out, _ = run(capsys, "info", "--json", tmp_path / "half.npz")
    assert code == 0 and json.loads(out)["darts"] == 24 and json.loads(out)["connected parts"] == 1
