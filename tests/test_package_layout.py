"""The shape of the gorvinpy package: imports between its modules form no cycle, no module reaches
into another's private names, and every error class it defines derives from GorvinError."""

import ast
import inspect
from pathlib import Path

import pytest

import gorvinpy

PACKAGE = Path(__file__).resolve().parents[1] / "python" / "gorvinpy"


def _module_name(path: Path) -> str:
    parts = path.relative_to(PACKAGE.parent).with_suffix("").parts
    return ".".join(parts[:-1] if parts[-1] == "__init__" else parts)


def _is_module(name: str) -> bool:
    """A package, a module or the compiled companion (known by its stub)."""
    path = PACKAGE.parent / name.replace(".", "/")
    return path.is_dir() or path.with_suffix(".py").exists() or path.with_suffix(".pyi").exists()


def _imports(path: Path):
    """(imported module, imported names) for every gorvinpy import in the file, at any depth."""
    name = _module_name(path)
    package = name if path.name == "__init__.py" else name.rsplit(".", 1)[0]
    for node in ast.walk(ast.parse(path.read_text())):
        if isinstance(node, ast.Import):
            for alias in node.names:
                if alias.name.split(".")[0] == "gorvinpy":
                    yield alias.name, []
        elif isinstance(node, ast.ImportFrom):
            if node.level:
                base = package.split(".")[: len(package.split(".")) - node.level + 1]
                target = ".".join(base + ([node.module] if node.module else []))
            else:
                target = node.module or ""
            if target.split(".")[0] != "gorvinpy":
                continue
            names = [alias.name for alias in node.names]
            submodules = [f"{target}.{n}" for n in names if _is_module(f"{target}.{n}")]
            others = [n for n in names if f"{target}.{n}" not in submodules]
            if others:
                yield target, others
            for submodule in submodules:
                yield submodule, []


SOURCES = sorted(PACKAGE.rglob("*.py"))
GRAPH = {_module_name(path): sorted({target for target, _ in _imports(path)}) for path in SOURCES}


def _cycle():
    """A cycle of module imports (a list of names), or None; a package's own __init__ is not an edge
    from its modules, which Python imports before them."""
    state = {}

    def visit(module, trail):
        state[module] = "open"
        for target in GRAPH.get(module, []):
            if target == "gorvinpy" or module.startswith(target + "."):
                continue  # the package (or a parent package) is imported first in any case
            if state.get(target) == "open":
                return trail[trail.index(target):] + [target] if target in trail else [module, target]
            if target not in state:
                found = visit(target, trail + [target])
                if found:
                    return found
        state[module] = "done"
        return None

    for module in GRAPH:
        if module not in state:
            found = visit(module, [module])
            if found:
                return found
    return None


def test_module_imports_form_no_cycle():
    assert _cycle() is None


def test_only_the_package_itself_imports_the_package():
    importers = [module for module, targets in GRAPH.items() if "gorvinpy" in targets and module != "gorvinpy"]
    assert importers == []


@pytest.mark.parametrize("path", SOURCES, ids=lambda path: _module_name(path))
def test_no_private_names_from_other_modules(path):
    private = [(target, name) for target, names in _imports(path) for name in names
               if name.startswith("_") and name != "_native"]
    assert private == []


def test_every_package_error_derives_from_gorvinerror():
    errors = [value for value in vars(gorvinpy).values()
              if inspect.isclass(value) and issubclass(value, BaseException)]
    assert len(errors) >= 9
    assert [error.__name__ for error in errors if not issubclass(error, gorvinpy.GorvinError)] == []


@pytest.mark.parametrize(("error", "builtin"), [
    ("MeshFormatError", ValueError), ("MissingPositionError", KeyError), ("FileTaskError", RuntimeError),
    ("RuleInputError", ValueError), ("StorageError", ValueError),
])
def test_errors_keep_their_builtin_base(error, builtin):
    assert issubclass(getattr(gorvinpy, error), builtin)
