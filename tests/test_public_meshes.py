"""OFF meshes shipped by Debian's geomview package, counted here and by trimesh.

trimesh splits polygons into triangles, so for a mesh whose faces have k1, k2, ... corners its
face count is the sum of (k - 2) and its edge count is ours plus the sum of (k - 3); the vertex
count and the Euler characteristic do not change.
"""

import pytest

import gorvinpy

# name: (vertices, edges, faces) as polygons; all are closed surfaces, so the Euler characteristic is 2
MESHES = {
    "tetra.off": (4, 6, 4),
    "octa.off": (6, 12, 8),
    "icosa.off": (12, 30, 20),
    "cube.off": (8, 12, 6),
    "dodec.off": (20, 30, 12),
    "mushroom.off": (226, 464, 240),
}


@pytest.mark.parametrize("name", sorted(MESHES))
def test_public_off_mesh_counts_match_trimesh(geomview, name):
    trimesh = pytest.importorskip("trimesh")
    path = geomview / name
    counts = gorvinpy.cell_counts(gorvinpy.import_mesh(path))
    assert (counts.vertices, counts.edges, counts.faces) == MESHES[name]
    assert counts.euler == 2 and counts.components == 1

    polygons = gorvinpy.read_off(path).faces
    reference = trimesh.load(path, process=False, force="mesh")
    assert len(reference.vertices) == counts.vertices
    assert len(reference.faces) == sum(len(face) - 2 for face in polygons)
    assert len(reference.edges_unique) == counts.edges + sum(len(face) - 3 for face in polygons)
    assert reference.euler_number == counts.euler
    assert reference.is_watertight
