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


@pytest.fixture
def expression_table():
    """The AllExpressions3D table of a right node (from the test-support module built beside gorvinpy_bin)."""
    return pytest.importorskip("gorvin_testing").expression_table
