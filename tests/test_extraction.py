import random

import pytest

import gorvinpy_bin as gorvin
from gmap_helpers import DELETED, square_face
from reference_walks import reference_compacted, reference_faces

# Random maps


def link(alpha, d, a, b):
    alpha[a][d], alpha[b][d] = b, a


def random_surface(rng, faces):
    """Polygons of 1..5 sides whose edges are glued in pairs by alpha2."""
    alpha, edges = [], []
    for _ in range(faces):
        base, sides = len(alpha), rng.randint(1, 5)
        alpha += [[base + t] * 4 for t in range(2 * sides)]
        for t in range(0, 2 * sides, 2):
            link(alpha, 0, base + t, base + t + 1)
            link(alpha, 1, base + t + 1, base + (t + 2) % (2 * sides))
            edges.append((base + t, base + t + 1))
    rng.shuffle(edges)
    for (a, b), (c, e) in zip(edges[0::2], edges[1::2]):
        if rng.random() < 0.5:
            c, e = e, c
        link(alpha, 2, a, c)
        link(alpha, 2, b, e)
    return alpha


def with_volume_twin(alpha):
    """The surface and a copy of it, sewn dart to dart by alpha3."""
    n = len(alpha)
    twin = [[x + n for x in links] for links in alpha]
    result = [list(links) for links in alpha] + twin
    for i in range(n):
        link(result, 3, i, i + n)
    return result


def scattered(rng, alpha, holes):
    """The same map under shuffled ids, with `holes` dead slots between the darts."""
    slots = rng.sample(range(len(alpha) + holes), len(alpha))
    size = len(alpha) + holes
    result = [[i] * 4 for i in range(size)]
    live = [False] * size
    for old, new in enumerate(slots):
        result[new] = [slots[x] for x in alpha[old]]
        live[new] = True
    return result, live


def load(gmap, alpha, live):
    gmap.make_darts(len(alpha))
    for i, links in enumerate(alpha):
        raw = gmap[i].dart()
        for d, j in enumerate(links):
            raw[d] = j
    for i, alive in enumerate(live):
        if not alive:
            gmap[i].delete()


def assert_matches_reference(gmap, alpha, live):
    assert gmap.extractFaces2D() == reference_faces(alpha, live, (0, 1))
    assert gmap.extractFaces3D() == reference_faces(alpha, live, (0, 1, 3))
    assert gmap.extractGeometryCompacted3D() == tuple(reference_compacted(alpha, live))


@pytest.mark.parametrize("seed", range(12))
def test_random_closed_surfaces_match_the_sweeps(seed, gmap):
    rng = random.Random(seed)
    alpha = random_surface(rng, rng.randint(1, 25))
    if seed % 3 == 0:
        alpha = with_volume_twin(alpha)
    alpha, live = scattered(rng, alpha, holes=rng.randint(0, 10))
    load(gmap, alpha, live)
    assert_matches_reference(gmap, alpha, live)


@pytest.mark.parametrize("seed", range(12))
@pytest.mark.parametrize("one_sided_writes", [False, True])
def test_broken_links_read_as_free_and_walks_end(seed, one_sided_writes, gmap):
    rng = random.Random(100 + seed)
    alpha, live = scattered(rng, random_surface(rng, rng.randint(1, 20)), holes=3)
    n = len(alpha)
    for i in rng.sample(range(n), n // 8):
        live[i] = False  # deleted without unlinking its neighbours
    for _ in range(n // 4 if one_sided_writes else 0):  # some naming no slot
        alpha[rng.randrange(n)][rng.randrange(4)] = rng.choice([rng.randrange(n), n + 7, DELETED])
    load(gmap, alpha, live)
    assert_matches_reference(gmap, alpha, live)


@pytest.mark.parametrize("seed", range(8))
@pytest.mark.parametrize("cut", [0, 1, 2])
def test_surfaces_cut_open_along_one_dimension_match_the_sweeps(seed, cut, gmap):
    """Faces and vertices that are paths, not cycles: both ends of some links made free."""
    rng = random.Random(200 + seed)
    alpha, live = scattered(rng, random_surface(rng, rng.randint(1, 20)), holes=2)
    for i in rng.sample(range(len(alpha)), len(alpha) // 5):
        j = alpha[i][cut]
        alpha[i][cut], alpha[j][cut] = i, j
    load(gmap, alpha, live)
    assert_matches_reference(gmap, alpha, live)


def test_empty_gmap(gmap):
    assert gmap.extractGeometryCompacted3D() == ([], [])
    assert gmap.extractFaces3D() == gmap.extractFaces2D() == []


@pytest.mark.parametrize(
    "links, compacted, faces",
    [
        ([], ([0], [[0]]), [[0]]),
        ([(0, 0, 1)], ([0, 1], [[0, 1]]), [[0, 1]]),
    ],
)
def test_small_maps(gmap, links, compacted, faces):
    gmap.make_darts(1 + len(links))
    for d, a, b in links:
        gmap.linkAlpha(d, a, b)
    assert gmap.extractGeometryCompacted3D() == compacted
    assert gmap.extractFaces3D() == gmap.extractFaces2D() == faces


def test_square_face(gmap):
    square_face(gmap)
    assert gmap.extractGeometryCompacted3D() == ([0, 1, 3, 5], [[0, 1, 2, 3]])
    assert gmap.extractFaces3D() == gmap.extractFaces2D() == [[0, 2, 4, 6]]


def test_faces_sewn_by_alpha3_are_one_face_of_the_3_map(gmap):
    square_face(gmap)
    square_face(gmap)
    for i in range(8):
        gmap.linkAlpha(3, i, i + 8)
    assert gmap.extractFaces3D() == [[0, 2, 4, 6]]
    assert gmap.extractFaces2D() == [[0, 2, 4, 6], [8, 10, 12, 14]]
    assert gmap.extractGeometryCompacted3D() == ([0, 1, 3, 5], [[0, 1, 2, 3]])


def test_deleting_an_isolated_dart_renumbers_the_vertices_after_it(gmap):
    gmap.make_darts(1)
    square_face(gmap)
    gmap[0].delete()
    assert gmap.extractGeometryCompacted3D() == ([1, 2, 4, 6], [[0, 1, 2, 3]])
    assert gmap.extractFaces3D() == gmap.extractFaces2D() == [[1, 3, 5, 7]]


def test_link_to_a_deleted_dart_reads_as_free(gmap):
    square_face(gmap)
    gmap[3].delete()
    assert gmap.extractFaces2D() == [[0, 2, 1, 7, 5, 4, 6]]
    assert gmap.extractGeometryCompacted3D() == ([0, 1, 4, 5], [[0, 1, 1, 0, 3, 2, 3]])


def test_walk_that_misses_its_start_ends_before_a_repeat(gmap):
    square_face(gmap)
    gmap[1].dart()[1] = 3  # dart 3 still links back to 4
    assert gmap.extractFaces2D() == [[0, 3, 1, 7, 5]]


def test_extraction_members_close_the_gmap_members():
    names = list(vars(gorvin.GMap3D))
    assert names[-3:] == ["extractFaces2D", "extractFaces3D", "extractGeometryCompacted3D"]
