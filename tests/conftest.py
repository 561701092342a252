import ctypes
import os
from pathlib import Path

import pytest

import gorvinpy_bin as gorvin

# Set by scripts/test-sanitized.sh: the run against the sanitizer build.
SANITIZED = bool(os.environ.get("GORVIN_UBSAN_REPORTS"))


def pytest_configure(config):
    """In the sanitizer run, undefined-behaviour reports go to files beside the address reports:
    that runtime ignores its log_path option when it runs beside the address sanitizer."""
    if SANITIZED:
        ctypes.CDLL("libubsan.so.1").__sanitizer_set_report_path(os.environ["GORVIN_UBSAN_REPORTS"].encode())


def pytest_collection_modifyitems(config, items):
    """The sanitizer run leaves the elephant's cases to the plain run: the small meshes of the same
    tests take the same native code, and the elephant's plain-Python references take most of its time."""
    if not SANITIZED:
        return
    skip = pytest.mark.skip(reason="refined_elephant.off runs in the plain run, the small meshes here")
    for item in items:
        if "elephant" in item.nodeid:
            item.add_marker(skip)


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


GEOMVIEW = Path("/usr/share/geomview/geom")
# refined_elephant.off from the data archive of Debian's libcgal-demo, unpacked by scripts/mesh-data.sh
ELEPHANT = Path(__file__).resolve().parents[1] / "build" / "mesh-data" / "refined_elephant.off"


@pytest.fixture(scope="session")
def geomview():
    """The folder of the sample OFF meshes of Debian's geomview package."""
    if not GEOMVIEW.is_dir():
        if os.environ.get("CI"):
            pytest.fail(f"{GEOMVIEW} is missing: .ci/run installs Debian's geomview package")
        pytest.skip("Debian's geomview package is not installed (apt-get install geomview)")
    return GEOMVIEW


@pytest.fixture(scope="session")
def elephant():
    """refined_elephant.off (88,928 triangles), when scripts/mesh-data.sh has fetched it."""
    if not ELEPHANT.is_file():
        pytest.skip(f"{ELEPHANT} is missing: run scripts/mesh-data.sh (needs root for apt-get)")
    return ELEPHANT
