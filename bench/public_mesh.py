"""The real public mesh of the package benchmarks: refined_elephant.off (88,928 triangles, 533,568
darts once imported) from the data archive of Debian's libcgal-demo, unpacked by
scripts/mesh-data.sh into build/mesh-data."""

import sys
from pathlib import Path

PUBLIC_MESH = Path(__file__).resolve().parent.parent / "build" / "mesh-data" / "refined_elephant.off"


def public_mesh_path() -> Path:
    """The mesh's path; exits with a hint when scripts/mesh-data.sh has not fetched it."""
    if not PUBLIC_MESH.exists():
        sys.exit(f"{PUBLIC_MESH} is missing: run scripts/mesh-data.sh")
    return PUBLIC_MESH
