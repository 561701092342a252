import glob
import json
import os
import shutil
import subprocess
import sys
import textwrap

import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import ORBIT_SUFFIXES
from signatures import split_top_level

MAIN_CLASSES = [
    "Orbit", "Islet", "InputHooks", "RawDart3D", "Dart3D", "GMapDart3DIterator", "GMap3D",
    "Modeler3D", "Context3D", "RuleNodeMultiplicity", "RuleNodeLeft3D", "RuleNodeRight3D",
    "RuleResult", "Ebd", "Expression3D", "Rule3D", "RowPattern3D", "AllExpressions3D",
    "GeometryCommon",
]
EBD_CLASSES = ["Ebd" + suffix for suffix in ORBIT_SUFFIXES]
EXPR_CLASSES = ["Expr3DEbd" + suffix for suffix in ORBIT_SUFFIXES]
MODULE_FUNCTIONS = ["applyRule", "orbit", "islet", "sorbit"]

CLASS_DOCS = {
    "Orbit": "A class representing an orbit in a GMap - a set of darts that are connected through "
    "specific involutions",
    "Islet": "A class representing an islet in a GMap - a list of representative darts for each "
    "connected component over a specific orbit",
    "InputHooks": "A class representing atomic input hooks for the Modeler3D - allows users to define "
    "where an operation should be applied in the model by specifying darts",
    "RawDart3D": "A class representing a raw dart in a GMap - contains the basic information about a "
    "dart without any additional functionality or safety checks (be careful of references)",
    "Dart3D": "Handle to a dart in a GMap - allows manipulation without copying the whole GMap",
    "GMapDart3DIterator": "An iterator for traversing darts in a GMap3D structure in lazy evaluation "
    "style (in order to avoid memory issues with pybind11 and Python)",
    "GMap3D": "A 3D generalized map - a combinatorial structure used to represent 3D objects and their "
    "relationships",
    "Modeler3D": "The main class for creating and manipulating 3D models using the Gorvin library",
    "Context3D": "A class representing the context in which 3D expressions are evaluated - contains "
    "information about the current state of the model and the gmap",
    "RuleNodeMultiplicity": "A class representing the multiplicity of a rule node in the context of "
    "3D modeling",
    "RuleNodeLeft3D": "A class representing the left-hand side of a rule node in the context of 3D "
    "modeling",
    "RuleNodeRight3D": "A class representing the right-hand side of a rule node in the context of 3D "
    "modeling",
    "RuleResult": "A class representing the result of applying a rule in the context of 3D modeling",
    "Ebd": "A class representing an embedding in the context of 3D modeling - allows associating data "
    "with darts in a GMap",
    "Expression3D": "A class representing a computational expression of a specific embedding",
    "Rule3D": "A class representing a 3D transformation rule - defines how to transform topology and "
    "geometry in accordance with a specific modeling operation",
    "RowPattern3D": "A class representing a row pattern in the context of rule transformation - used "
    "to define explicit ith instances of rule nodes (topological variables)",
    "AllExpressions3D": "A class representing a collection of all 3D expressions (internal use)",
    "GeometryCommon": "A class representing common geometry data for a GMap3D - contains user-defined "
    "embeddings for position, normal, color, texture coordinates, and orientation",
}

EXTENSION = gorvin.__file__


# --- interpreter check -------------------------------------------------------------------------

def _pyenv_interpreters(minor):
    try:
        root = subprocess.run(["pyenv", "root"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return []
    return sorted(glob.glob(os.path.join(root.strip(), "versions", f"3.{minor}.*", "bin", f"python3.{minor}")))


def _import_in(interpreter, tmp_path):
    """Imports a copy of the extension named gorvinpy_bin.so; returns (error message or None, sys.version)."""
    shutil.copy(EXTENSION, tmp_path / "gorvinpy_bin.so")
    probe = textwrap.dedent(
        """
        import json, sys
        try:
            import gorvinpy_bin
            error = None
        except ImportError as e:
            error = str(e)
        print(json.dumps([error, sys.version]))
        """
    )
    environment = {key: value for key, value in os.environ.items() if not key.startswith("PYTHON")}
    out = subprocess.run([interpreter, "-c", probe], cwd=tmp_path, capture_output=True, text=True,
                         check=True, env=environment)
    return json.loads(out.stdout)


@pytest.mark.parametrize("minor", [11, 12])
def test_other_interpreters_are_refused_with_the_mismatch_message(minor, tmp_path):
    interpreters = _pyenv_interpreters(minor)
    if not interpreters:
        pytest.skip(f"no Python 3.{minor} under pyenv")
    error, version = _import_in(interpreters[-1], tmp_path)
    assert error == (
        "Python version mismatch: module was compiled for Python 3.10, "
        f"but the interpreter version is incompatible: {version}."
    )


def test_python_310_imports_the_renamed_module(tmp_path):
    error, version = _import_in(sys.executable, tmp_path)
    assert version.startswith("3.10") and error is None


# --- module attributes and classes -------------------------------------------------------------

def test_module_attributes():
    assert gorvin.__doc__ == "Python bindings for Gorvin library."
    assert gorvin.__version__ == "1.3a"
    assert isinstance(gorvin.__author__, str) and gorvin.__author__.strip()
    names = list(vars(gorvin))
    assert names.index("__doc__") < names.index("__version__") < names.index("__author__")


def test_classes_and_functions_come_in_creation_order():
    expected = MAIN_CLASSES + EBD_CLASSES + EXPR_CLASSES + MODULE_FUNCTIONS
    present = [name for name in vars(gorvin) if name in expected]
    assert present[: len(MAIN_CLASSES)] == MAIN_CLASSES
    assert present == [name for name in expected if name in present]
    assert all(isinstance(getattr(gorvin, name), type) for name in MAIN_CLASSES)
    assert not hasattr(gorvin, "GorvinException")


def test_class_docstrings():
    assert {name: getattr(gorvin, name).__doc__ for name in MAIN_CLASSES} == CLASS_DOCS
    for name in EBD_CLASSES:
        if hasattr(gorvin, name):
            assert getattr(gorvin, name).__doc__ is None
    for name in EXPR_CLASSES:
        if hasattr(gorvin, name):
            assert getattr(gorvin, name).__doc__ == "expression for a specific orbit."


# --- members: order, parameter names, docstrings ------------------------------------------------
# A member is either a property (its docstring) or a list of registrations
# (parameter names after self, result, docstring). Bare parameters print as argN.
# Result None in a registration means "not checked" (members owned by later work).

def prop(doc):
    return doc


def reg(params, result, doc=""):
    return (tuple(params.split()), result, doc)


def ebd_label(suffix):
    return "" if suffix == "Dart" else ",".join(suffix)


def ebd_name(suffix):
    return "ebd" if suffix == "Dart" else "ebd" + suffix


NEIGHBOUR_DOC = "returns the dart id of the neighbor dart for a given dimension"

GMAP_MEMBERS = {
    "id": prop("returns the id of the gmap (read-only)"),
    "resize": [reg("size", "None", "resize the gmap to the given size (add or remove darts if needed)")],
    "clear": [reg("", "None", "clear the gmap (remove all darts)")],
    "linkAlpha": [
        reg("dim a b", "None", "link two darts ids in the gmap along a given dimension. This function "
            "impact old neighbors of the darts"),
        reg("dim a", "None", "make a loop for dart id in the gmap along a given dimension. This "
            "function impact old neighbors of the dart"),
    ],
    "__len__": [reg("", "int", "returns the size of the gmap")],
    "size": [reg("", "int", "returns the size of the gmap")],
    "get": [reg("id", "Dart3D", "returns the dart object for a given dart id")],
    "__getitem__": [reg("id", "Dart3D", "returns the dart object for a given dart id")],
    "a": [reg("id dim", "Dart3D", NEIGHBOUR_DOC)],
    "alpha": [reg("id dim", "Dart3D", NEIGHBOUR_DOC)],
    "path": [reg("id dims", "Dart3D", "returns the dart id of the neighbor dart for a given path of "
                 "dimensions")],
    "reserve": [reg("arg0", "None", "reserve space for the given number of darts")],
    "make_darts": [reg("n", "list[Dart3D]", "make n darts in the gmap")],
    "toDarts": [reg("", "list[Dart3D]", "returns a list of Dart3D objects in the gmap")],
    "exists": [reg("arg0", "bool", "returns true if the dart exists, false otherwise")],
    "__iter__": [reg("", "GMapDart3DIterator")],
    "__str__": [reg("", "str")],
    "__repr__": [reg("", "str")],
    "e": [
        reg("did orbit", None, "returns the e of the dart id for an orbit"),
        reg("did uebd", None, "returns the e of the dart id for a user embedding"),
    ],
    **{ebd_name(s): [reg("did", None, f"returns the ebd <{ebd_label(s)}> of the dart id")]
       for s in ORBIT_SUFFIXES},
    "apply": [
        reg("rule hooks", None, "apply a rule to the gmap"),
        reg("rule hooks", None, "apply a rule to the gmap"),
        reg("rule hooks", None, "apply a rule to the gmap with hooks as a dictionary"),
    ],
    "extractFaces2D": [reg("", None, "extracts 2D faces from the given list of dart ids")],
    "extractFaces3D": [reg("", None, "extracts 3D faces from the given list of dart ids")],
    "extractGeometryCompacted3D": [reg("", None, "extracts compacted 3D geometry from the given gmap, "
                                       "it gives a map of dart ids to indices and a vector of faces "
                                       "represented by dart ids in new vertices indices")],
}


def comparison(name, words):
    return name, [reg("arg0", "bool", f"compare two darts for {words}"),
                  reg("arg0", "bool", f"compare a dart and a dart id for {words}")]


RAWDART_MEMBERS = {
    "__repr__": [reg("", "str", "returns a string representation of the dart")],
    "__str__": [reg("", "str", "returns a string representation of the dart")],
    "__int__": [reg("", "int", "returns the id of the dart as an integer")],
    "isFree": [reg("arg0", "bool", "returns true if the dart is free along the given dimension (make a loop)")],
    "id": prop("returns the id of the dart (read-only)"),
    "exists": [reg("", "bool", "returns true if the dart exists, false otherwise")],
    "delete": [reg("", "None", "deletes the current dart, making loop for all dimensions")],
    **dict(comparison(name, words) for name, words in [
        ("__eq__", "equality"), ("__ne__", "inequality"), ("__lt__", "less than"),
        ("__le__", "less than or equal to"), ("__gt__", "greater than"),
        ("__ge__", "greater than or equal to")]),
    "__call__": [reg("dim", "int", NEIGHBOUR_DOC)],
    "__getitem__": [reg("dim", "int", NEIGHBOUR_DOC)],
    "__setitem__": [reg("dim did", "RawDart3D", "sets the given dart id as the neighbor dart for a given dimension")],
    "alpha": [reg("arg0", "int", NEIGHBOUR_DOC)],
    "a": [reg("dim", "RawDart3D", "returns the neighbor dart object for a given dimension")],
    "set": [reg("dim dart", "RawDart3D", "sets the given dart object as the neighbor dart for a given dimension")],
    "ebd": prop("returns the ebd of the dart for a given dimension"),
    **{ebd_name(s): prop(f"returns the ebd <{ebd_label(s)}> of the dart") for s in ORBIT_SUFFIXES[1:]},
}

DART_NEIGHBOUR_DOC = "Returns Dart3D neighbor in given dimension"
DART_LINK_DOC = "Sets the neighbor Dart3D in given dimension"
DART_GET_DOC = "Returns the ebd of the dart for a given user ebd"
DART_SET_DOC = "Sets the ebd of the dart for a given user ebd"

# Registration order: e and get (read), e and set (write), so "set" and "e" keep their first places.
DART_MEMBERS = {
    "delete": [reg("", "None", "Deletes the dart, making loop for all dimensions")],
    "modeler": prop("Returns the modeler (read-only)"),
    "gmapid": prop("Returns the GMap ID (read-only)"),
    "id": prop("Returns the dart ID (read-only)"),
    "__str__": [reg("", "str"), reg("", "str", "String representation of Dart3D")],
    "__repr__": [reg("", "str"), reg("", "str", "String representation of Dart3D")],
    "dart": [reg("", "RawDart3D", "Returns the dart object")],
    "__call__": [reg("dim", "Dart3D", DART_NEIGHBOUR_DOC)],
    "alpha": [reg("dim", "Dart3D", DART_NEIGHBOUR_DOC)],
    "a": [reg("dim", "Dart3D", DART_NEIGHBOUR_DOC + " (short form)")],
    "setAlpha": [reg("dim dart", "None", DART_LINK_DOC)],
    "set": [reg("dim dart", "None", DART_LINK_DOC), reg("ebd value", None, DART_SET_DOC)],
    "exists": [reg("", "bool", "Returns true if the dart exists")],
    "isFree": [reg("arg0", "bool", "Returns true if the dart is free in given dimension")],
    "e": [reg("ebd", None, DART_GET_DOC), reg("ebd value", None, DART_SET_DOC)],
    "get": [reg("ebd", None, DART_GET_DOC)],
    **{ebd_name(s): prop(f"Returns the ebd <{ebd_label(s)}> of the Dart3D") for s in ORBIT_SUFFIXES},
    "__eq__": [reg("other", "bool", "Equality comparison with another Dart3D"),
               reg("other", "bool", "Equality comparison with another DartID")],
    "__ne__": [reg("other", "bool", "Inequality comparison with another Dart3D")],
    "__int__": [reg("", "int", "returns the id of the dart as an integer")],
}

ITERATOR_MEMBERS = {
    "__iter__": [reg("", "GMapDart3DIterator")],
    "__next__": [reg("", "Dart3D")],
}

MODELER_MEMBERS = {
    "__repr__": [reg("", "str")],
    "__str__": [reg("", "str")],
    "name": prop("returns the name of the modeler"),
    "module": prop("returns the module of the modeler"),
    "sizeEbds": [reg("", "int", "returns the size of the ebds")],
    "sizeGMaps": [reg("", "int", "returns the size of the gmaps")],
    "gmap": [reg("gid", "GMap3D", "returns the gmap object for a given gmap id")],
    "make_gmap": [reg("", "GMap3D", "creates a new gmap and returns it")],
    "dim": prop("returns the dimension of the modeler"),
    "__len__": [reg("", "int", "returns the size of the modeler")],
    "__getitem__": [reg("gid", "GMap3D", "returns the gmap object for a given gmap id")],
    "__iter__": [reg("", "Iterator[GMap3D]")],
}

# Members that later work adds; every other listed member must be there now.
LATER = {"e", "get", "apply", "extractFaces2D", "extractFaces3D", "extractGeometryCompacted3D"} | {
    ebd_name(s) for s in ORBIT_SUFFIXES}

CLASS_MEMBERS = {
    "GMap3D": GMAP_MEMBERS,
    "RawDart3D": RAWDART_MEMBERS,
    "Dart3D": DART_MEMBERS,
    "GMapDart3DIterator": ITERATOR_MEMBERS,
    "Modeler3D": MODELER_MEMBERS,
}
# What pybind11 itself puts in every class dict (the constructors are checked on their own).
BINDING_INTERNALS = {"__init__", "__doc__", "__module__", "_pybind11_conduit_v1_", "__hash__"}


def short_type(text):
    return text.replace("gorvinpy_bin.", "").replace("collections.abc.", "")


def parse_signature(line, name):
    """'name(self: X, a: int, b: int = 1) -> R' -> ((a, b), R)."""
    assert line.startswith(name + "("), line
    arguments, result = line[len(name) + 1:].rsplit(") -> ", 1)
    params = [part.split(":")[0].strip() for part in split_top_level(arguments)]
    assert params[0] == "self", line
    params = [p for p in params[1:] if p != "/"]
    return tuple(params), short_type(result)


def registrations(function, name):
    """Parses pybind11's docstring into [(params, result, doc)]."""
    doc = function.__doc__
    if doc.startswith(name + "(*args, **kwargs)\nOverloaded function.\n\n"):
        body = doc.split("Overloaded function.\n\n", 1)[1]
        entries = []
        number = 1
        while body:
            prefix = f"{number}. "
            assert body.startswith(prefix), body
            following = body.find(f"\n\n{number + 1}. {name}(")
            entry, body = (body, "") if following < 0 else (body[:following], body[following + 2:])
            signature, _, text = entry[len(prefix):].partition("\n")
            entries.append((*parse_signature(signature, name), text.strip()))
            number += 1
        return entries
    signature, _, text = doc.partition("\n")
    return [(*parse_signature(signature, name), text.strip())]


def member_names(cls):
    return [name for name in vars(cls) if name not in BINDING_INTERNALS]


@pytest.mark.parametrize("class_name", CLASS_MEMBERS)
def test_member_order(class_name):
    expected = list(CLASS_MEMBERS[class_name])
    actual = member_names(getattr(gorvin, class_name))
    assert actual == [name for name in expected if name in actual]
    assert [name for name in expected if name not in actual and name not in LATER] == []


@pytest.mark.parametrize(
    "class_name, member",
    [(class_name, member) for class_name, members in CLASS_MEMBERS.items() for member in members
     if member in vars(getattr(gorvin, class_name))],
)
def test_member_docstrings_and_parameter_names(class_name, member):
    cls = getattr(gorvin, class_name)
    expected = CLASS_MEMBERS[class_name][member]
    attribute = vars(cls)[member]
    if isinstance(expected, str):
        assert isinstance(attribute, property) and attribute.fset is None
        assert attribute.__doc__ == expected
        return
    actual = registrations(attribute, member)
    # Overloads that later work adds (result None) come together: none of them yet, or all.
    bound_now = [registration for registration in expected if registration[1] is not None]
    if bound_now and len(actual) == len(bound_now):
        expected = bound_now
    assert [(params, doc) for params, _, doc in actual] == [(params, doc) for params, _, doc in expected]
    assert [r for (_, r, _), (_, e, _) in zip(actual, expected) if e is not None] == [
        e for _, e, _ in expected if e is not None]


def test_constructors():
    assert registrations(gorvin.Dart3D.__init__, "__init__") == [(("hdart",), "None", "Copy constructor")]
    assert [sig for sig in registrations(gorvin.Modeler3D.__init__, "__init__")] == [
        (("name", "module"), "None", ""), (("modeler",), "None", "")]
    assert "name: str = 'gorvinmodeler', module: str = 'gorvinpy'" in gorvin.Modeler3D.__init__.__doc__
    for name in ["GMap3D", "RawDart3D", "GMapDart3DIterator"]:
        with pytest.raises(TypeError, match="No constructor defined"):
            getattr(gorvin, name)()


def test_dart_text_answers_with_its_first_registration_and_lists_both():
    gmap = gorvin.Modeler3D().make_gmap()
    dart = gmap.make_darts(6)[5]
    assert repr(dart) == str(dart) == "Dart(0, 5)"
    assert gorvin.Dart3D.__repr__.__doc__.count("__repr__(self: gorvinpy_bin.Dart3D) -> str") == 2


# --- the binding boundary ----------------------------------------------------------------------

def _tied_calls():
    """(label, call) for every member whose result is tied to an owner, fed bad arguments."""
    modeler = gorvin.Modeler3D()
    gmap = modeler.make_gmap()
    dart = gmap.make_darts(2)[0]
    raw = dart.dart()
    iterator = iter(gmap)
    rule = gorvin.Rule3D("r")
    rule.make_leftnode("a", [0], True)
    rule.make_rightnode("a", [0])
    calls = {
        "RawDart3D.a": lambda bad: raw.a(bad),
        "RawDart3D.set(dim)": lambda bad: raw.set(bad, raw),
        "RawDart3D.set(dart)": lambda bad: raw.set(0, bad),
        "RawDart3D.__setitem__": lambda bad: raw.__setitem__(bad, 0),
        "Dart3D.dart": lambda bad: dart.dart(bad),
        "Dart3D.__call__": lambda bad: dart(bad),
        "Dart3D.set": lambda bad: dart.set(bad, dart),
        "Dart3D.__init__": lambda bad: gorvin.Dart3D(bad),
        "Modeler3D.gmap": lambda bad: modeler.gmap(bad),
        "Modeler3D.__getitem__": lambda bad: modeler[bad],
        "Modeler3D.make_gmap": lambda bad: modeler.make_gmap(bad),
        "Modeler3D.__iter__": lambda bad: modeler.__iter__(bad),
        "Modeler3D.__init__": lambda bad: gorvin.Modeler3D(bad),
        "GMap3D.__iter__": lambda bad: gmap.__iter__(bad),
        "GMap3D.get": lambda bad: gmap.get(bad),
        "GMap3D.__getitem__": lambda bad: gmap[bad],
        "GMap3D.make_darts": lambda bad: gmap.make_darts(bad),
        "GMap3D.path": lambda bad: gmap.path(0, [bad]),
        "GMapDart3DIterator.__next__": lambda bad: iterator.__next__(bad),
        "Rule3D.leftnode": lambda bad: rule.leftnode(bad),
        "Rule3D.rightnode": lambda bad: rule.rightnode(bad),
        "Orbit.__iter__": lambda bad: gorvin.Orbit([0]).__iter__(bad),
    }
    return modeler, gmap, calls


@pytest.mark.parametrize("bad", [-1, 1.0, object()], ids=["negative", "float", "wrong-class"])
@pytest.mark.parametrize("label", list(_tied_calls()[2]))
def test_tied_members_refuse_bad_arguments_with_type_error(label, bad):
    modeler, gmap, calls = _tied_calls()
    with pytest.raises(TypeError):
        calls[label](bad)
    assert str(gmap) == "GMap<0 - size: 2>" and len(modeler) == 1
    assert list(gmap) == gmap.toDarts()
