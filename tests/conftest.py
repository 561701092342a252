import ctypes
import os

import pytest

import gorvinpy_bin as gorvin


def pytest_configure(config):
    """In the sanitizer run, undefined-behaviour reports go to files beside the address reports:
    that runtime ignores its log_path option when it runs beside the address sanitizer."""
    path = os.environ.get("GORVIN_UBSAN_REPORTS")
    if path:
        ctypes.CDLL("libubsan.so.1").__sanitizer_set_report_path(path.encode())


@pytest.fixture
def modeler():
    return gorvin.Modeler3D()


@pytest.fixture
def gmap(modeler):
    return modeler.make_gmap()


def square_face(gmap, first=0):
    """An isolated square face of 8 darts: alpha0 pairs (0,1),(2,3).., alpha1 pairs (1,2),..,(7,0)."""
    gmap.make_darts(8)
    for i in range(0, 8, 2):
        gmap.linkAlpha(0, first + i, first + i + 1)
        gmap.linkAlpha(1, first + i + 1, first + (i + 2) % 8)
    return list(range(first, first + 8))


DELETED = 4294967295  # the id of a deleted slot, and a missing link
UNKNOWN = "Caught an unknown exception!"
# The sixteen orbit slots as the module names them (EbdDart, Ebd0, .., Ebd0123).
ORBIT_SUFFIXES = [
    "Dart", "0", "1", "2", "3", "01", "02", "03", "12", "13", "23", "012", "013", "023", "123", "0123",
]


def kernel_error():
    """Kernel exceptions carry no message; Python sees this RuntimeError."""
    return pytest.raises(RuntimeError, match=f"^{UNKNOWN}$")


def snapshot(gmap):
    """The dart table as (id, alpha0, alpha1, alpha2, alpha3) per slot, None for a deleted slot."""
    rows = []
    for i in range(len(gmap)):
        raw = gmap.get(i).dart() if gmap.exists(i) else None
        rows.append(None if raw is None else (raw.id, raw[0], raw[1], raw[2], raw[3]))
    return rows


@pytest.fixture
def expression_table():
    """The AllExpressions3D table of a right node (from the test-support module built beside gorvinpy_bin)."""
    return pytest.importorskip("gorvin_testing").expression_table
