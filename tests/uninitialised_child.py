"""Run by test_uninitialised.py in a child process: makes an instance of one class of gorvinpy_bin
with __new__ alone and uses every member on it, with arguments of the types its signatures name.
Prints one line per use before making it and one with the outcome after, so that a crash names
the member that caused it."""
import re
import sys

import gorvinpy_bin as gorvin
from signatures import split_top_level

SIGNATURE = re.compile(r"^(?:\d+\. )?(\w+)\((.*)\) -> .*$")
# pybind11 plumbing, not members of the module's classes; __init__ fills the instance.
SKIPPED = {"__init__", "__new__", "__doc__", "__module__", "__dict__", "__weakref__", "__hash__",
           "_pybind11_conduit_v1_"}
# Python operations and the member each one uses.
OPERATIONS = {
    "repr": ("__repr__", repr),
    "str": ("__str__", str),
    "len": ("__len__", len),
    "iter": ("__iter__", iter),
    "next": ("__next__", next),
    "bool": ("__len__", bool),
    "int": ("__int__", int),
    "==": ("__eq__", lambda o: o == o),
    "!=": ("__ne__", lambda o: o != o),
    "<": ("__lt__", lambda o: o < 0),
    "<=": ("__le__", lambda o: o <= 0),
    ">": ("__gt__", lambda o: o > 0),
    ">=": ("__ge__", lambda o: o >= 0),
    "in": ("__contains__", lambda o: 0 in o),
    "[]": ("__getitem__", lambda o: o[0]),
    "[]=": ("__setitem__", lambda o: o.__setitem__(0, 0)),
    "call": ("__call__", lambda o: o(0)),
}


def samples():
    """A live instance of each class an argument may name."""
    modeler = gorvin.Modeler3D()
    gmap = modeler.make_gmap()
    dart = gmap.make_darts(2)[0]
    rule = gorvin.Rule3D("r")
    expression = gorvin.Expr3DEbd0("n", lambda ctx: 0)
    return {
        "Modeler3D": modeler, "GMap3D": gmap, "Dart3D": dart, "RawDart3D": dart.dart(),
        "GMapDart3DIterator": iter(gmap), "Orbit": gorvin.Orbit([0]), "Islet": gorvin.Islet([0]),
        "Rule3D": rule, "RuleNodeLeft3D": rule.make_leftnode("a", [0], True),
        "RuleNodeRight3D": rule.make_rightnode("a", [0]),
        "RuleNodeMultiplicity": gorvin.RuleNodeMultiplicity(1, 1), "Expression3D": expression,
        "InputHooks": gorvin.InputHooks([0]), "Ebd": gorvin.Ebd("n", [0]),
        "Context3D": gorvin.Context3D(modeler, rule, gmap, [0], 0, 0, 0, 0),
        "RuleResult": gorvin.RuleResult(1, 1),
    }


def argument(annotation, known):
    annotation = annotation.split("=")[0].strip()
    if annotation.startswith("collections.abc.Sequence["):
        return [argument(annotation[len("collections.abc.Sequence["):-1], known)]
    if annotation.startswith("tuple["):
        return (0, 0)
    if annotation.startswith("gorvinpy_bin."):
        name = annotation[len("gorvinpy_bin."):]
        cls = getattr(gorvin, name)
        return known[name] if name in known else cls.__new__(cls)
    return {"str": "a", "bool": False, "float": 0.0, "dict": {}, "object": {},
            "collections.abc.Callable": lambda *args: {}}.get(annotation, 0)


def argument_lists(member, name, known):
    """One argument list per registration of the member, read from its signature lines."""
    found = []
    for line in (member.__doc__ or "").splitlines():
        match = SIGNATURE.match(line.strip())
        if match and match.group(1) == name:
            parameters = [p for p in split_top_level(match.group(2)) if p != "/"][1:]  # self first
            found.append([argument(p.split(":", 1)[1], known) for p in parameters])
    return found or [[]]


def members(cls):
    """The members of the class and of its module bases, nearest first."""
    found = {}
    for klass in cls.__mro__:
        if klass.__module__ == "gorvinpy_bin":
            for name, member in vars(klass).items():
                if name not in SKIPPED:
                    found.setdefault(name, member)
    return found


def attempt(label, use):
    print("use", label, flush=True)
    try:
        use()
    except Exception as error:  # the outcome is what the parent checks
        print("raised", type(error).__name__, flush=True)
    else:
        print("returned", flush=True)


def main(class_name):
    cls = getattr(gorvin, class_name)
    known = samples()
    instance = cls.__new__(cls)
    own = members(cls)
    for name, member in own.items():
        if isinstance(member, property):
            attempt(name, lambda: getattr(instance, name))
            continue
        for arguments in argument_lists(member, name, known):
            attempt(name, lambda: getattr(instance, name)(*arguments))
    for label, (name, operation) in OPERATIONS.items():
        if name in own:
            attempt(label, lambda: operation(instance))
    instance = None  # releasing it must not crash either


if __name__ == "__main__":
    main(sys.argv[1])
