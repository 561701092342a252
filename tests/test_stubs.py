"""The type stubs of gorvinpy_bin: the module's classes, members and parameters, usable by mypy."""

import ast
import re
import subprocess
import sys
from pathlib import Path

import pytest

import gorvinpy_bin
from signatures import split_top_level

ROOT = Path(__file__).resolve().parents[1]
STUBS = ROOT / "python" / "gorvinpy_bin.pyi"
# Members every class has from pybind11 or object, which the stubs leave out.
IMPLICIT = {
    "__doc__",
    "__module__",
    "__dict__",
    "__weakref__",
    "__hash__",
    "__repr__",
    "__str__",
    "_pybind11_conduit_v1_",
}
SIGNATURE = re.compile(r"^(?:\d+\. )?(\w+)\((.*)\) -> .*$")


def stub_tree():
    """{class name: {member: [overloads]}}, private stub bases folded in; '' holds the module functions."""
    module = ast.parse(STUBS.read_text())
    classes = {"": {}}
    for node in module.body:
        if isinstance(node, ast.FunctionDef):
            classes[""].setdefault(node.name, []).append(node)
        elif isinstance(node, ast.ClassDef):
            members = {}
            for base in node.bases:
                if isinstance(base, ast.Name) and base.id.startswith("_"):
                    members.update(classes[base.id])
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    members.setdefault(item.name, []).append(item)
            classes[node.name] = members
    return {name: members for name, members in classes.items() if not name.startswith("_")}


def stub_parameters(function):
    """[(name, positional only, has default)] without self."""
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [False] * (len(positional) - len(arguments.defaults)) + [True] * len(arguments.defaults)
    rows = [(a.arg, i < len(arguments.posonlyargs), d) for i, (a, d) in enumerate(zip(positional, defaults))]
    return [row for row in rows if row[0] != "self"]


def runtime_signatures(obj, name):
    """[(parameter names, which have defaults)] of every registration, read from pybind11's docstring."""
    found = []
    for line in (obj.__doc__ or "").splitlines():
        match = SIGNATURE.match(line.strip())
        if match and match.group(1) == name:
            parameters = [p for p in split_top_level(match.group(2)) if p]
            rows = [(p.split(":")[0].strip(), "=" in p) for p in parameters]
            found.append([row for row in rows if row[0] != "self"])
    return found


def matches(stub, runtime):
    return len(stub) == len(runtime) and all(
        (s_name == r_name or (positional and re.fullmatch(r"arg\d+", r_name))) and s_default == r_default
        for (s_name, positional, s_default), (r_name, r_default) in zip(stub, runtime)
    )


def public(names):
    return {name for name in names if name not in IMPLICIT}


def test_stubs_name_every_class_and_function_of_the_module():
    tree = stub_tree()
    runtime = public(name for name in vars(gorvinpy_bin) if not name.startswith("__"))
    assert (set(tree) - {""}) | set(tree[""]) == runtime


@pytest.mark.parametrize("class_name", sorted(name for name in stub_tree() if name))
def test_stub_class_has_the_members_and_parameters_of_the_runtime_class(class_name):
    cls = getattr(gorvinpy_bin, class_name)
    members = stub_tree()[class_name]
    runtime = public(vars(cls))
    if not runtime_signatures(cls.__init__, "__init__"):
        runtime.discard("__init__")  # the refusing constructor of a class Python cannot build
    assert set(members) == runtime
    for name, overloads in members.items():
        member = vars(cls)[name]
        is_property = any(isinstance(d, ast.Name) and d.id == "property" for d in overloads[0].decorator_list)
        assert is_property == isinstance(member, property), name
        if not is_property:
            _assert_overloads(member, name, overloads)


def test_stub_functions_have_the_parameters_of_the_module_functions():
    for name, overloads in stub_tree()[""].items():
        _assert_overloads(getattr(gorvinpy_bin, name), name, overloads)


def _assert_overloads(member, name, overloads):
    runtime = runtime_signatures(member, name)
    for overload in overloads:
        stub = stub_parameters(overload)
        assert any(matches(stub, found) for found in runtime), f"{name}{stub} is not among {runtime}"
    for found in runtime:
        assert any(matches(stub_parameters(o), found) for o in overloads), f"{name}{found} has no stub"


def test_installed_module_carries_its_stubs():
    module_file = Path(gorvinpy_bin.__file__)
    if "site-packages" not in module_file.parts:
        pytest.skip("gorvinpy_bin comes from a build tree, not an installation")
    assert module_file.with_name("gorvinpy_bin.pyi").read_text() == STUBS.read_text()
    assert (module_file.parent / "gorvinpy_bin-stubs" / "__init__.pyi").read_text() == STUBS.read_text()


def test_mypy_checks_the_package_and_a_wrong_call_against_the_stubs(tmp_path):
    pytest.importorskip("mypy")
    sample = tmp_path / "sample.py"
    sample.write_text(
        "import gorvinpy_bin\n"
        "gmap = gorvinpy_bin.Modeler3D().make_gmap()\n"
        "darts: list[gorvinpy_bin.Dart3D] = gmap.make_darts(2)\n"
        "gmap.linkAlpha(0, darts[0].id, darts[1].id)\n"
        "gmap.linkAlpha(0, 'one', 2)\n"
    )
    command = [
        sys.executable,
        "-m",
        "mypy",
        "--no-incremental",
        "--check-untyped-defs",
        "--cache-dir",
        str(tmp_path),
    ]
    targets = [str(ROOT / "python" / "gorvinpy"), str(ROOT / "examples" / "main.py"), str(sample)]
    result = subprocess.run(
        command + targets, capture_output=True, text=True, env={"MYPYPATH": str(ROOT / "python"), "PATH": ""}
    )
    errors = [line for line in result.stdout.splitlines() if ": error:" in line]
    assert len(errors) == 1, result.stdout
    assert errors[0].startswith(f'{sample}:5: error: No overload variant of "linkAlpha"')
