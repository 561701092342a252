"""Link checks and cell counts on hand-built G-maps."""

import pytest

import gorvinpy
from gmap_helpers import square_face


def two_squares_sewn(gmap):
    """Two squares sewn along one edge by alpha2: darts 2,3 of the first to 7,6 of the second."""
    square_face(gmap)
    square_face(gmap)
    gmap.linkAlpha(2, 2, 15)
    gmap.linkAlpha(2, 3, 14)


def test_counts_of_a_square_face(gmap):
    square_face(gmap)
    counts = gorvinpy.cell_counts(gmap)
    assert counts == gorvinpy.CellCounts(vertices=4, edges=4, faces=1, volumes=1, components=1)
    assert counts.euler == 1 == gorvinpy.euler_characteristic(gmap)
    assert gorvinpy.is_gmap(gmap)


def test_counts_of_two_squares_sewn_and_apart(gmap):
    two_squares_sewn(gmap)
    square_face(gmap)
    assert gorvinpy.cell_counts(gmap) == gorvinpy.CellCounts(10, 11, 3, 2, 2)
    assert gorvinpy.check_gmap(gmap) == []


def test_counts_skip_deleted_darts(gmap):
    square_face(gmap)
    gmap.make_darts(1)
    gmap[8].delete()
    assert gorvinpy.cell_counts(gmap).vertices == 4
    assert gorvinpy.live_darts(gmap) == set(range(8))


def test_one_sided_link_breaks_the_involution(gmap):
    square_face(gmap)
    gmap[0].dart()[0] = 2
    assert gorvinpy.involution_errors(gmap) == ["alpha0(0) = 2 but alpha0(2) = 3", "alpha0(1) = 0 but alpha0(0) = 2"]
    assert not gorvinpy.is_gmap(gmap)


def test_link_to_a_deleted_dart_is_reported(gmap):
    square_face(gmap)
    gmap[1].delete()
    errors = gorvinpy.involution_errors(gmap)
    assert "alpha0(0) = 1, which is not a live dart" in errors
    assert "alpha1(2) = 1, which is not a live dart" in errors


@pytest.mark.parametrize("i, j, dart", [(0, 2, 2), (0, 3, 0), (1, 3, 1)])
def test_half_sewn_edge_breaks_the_condition(gmap, i, j, dart):
    """Sewing only one dart of an edge along alpha_j leaves alpha_i alpha_j a non-involution."""
    square_face(gmap)
    square_face(gmap)
    gmap.linkAlpha(j, dart, 8 + dart)
    assert gorvinpy.involution_errors(gmap) == []
    errors = gorvinpy.condition_errors(gmap)
    assert any(
        error.startswith(f"alpha{i} alpha{j} is not an involution at dart {dart}:") for error in errors
    )
