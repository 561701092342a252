"""What the tests share about G-maps: the markers, the kernel error, the one reader of a dart
table and the one square-face builder."""
import pytest

DELETED = 4294967295  # the id of a deleted slot, and a missing link
UNKNOWN = "Caught an unknown exception!"
# The sixteen orbit slots as the module names them (EbdDart, Ebd0, .., Ebd0123).
ORBIT_SUFFIXES = [
    "Dart", "0", "1", "2", "3", "01", "02", "03", "12", "13", "23", "012", "013", "023", "123", "0123",
]


def kernel_error():
    """Kernel exceptions carry no message; Python sees this RuntimeError."""
    return pytest.raises(RuntimeError, match=f"^{UNKNOWN}$")


def dart_table(gmap):
    """Every slot as (id, alpha0, alpha1, alpha2, alpha3), read through the module; a deleted slot
    holds DELETED in all five."""
    rows = []
    for i in range(len(gmap)):
        if gmap.exists(i):
            raw = gmap.get(i).dart()
            rows.append((raw.id, raw[0], raw[1], raw[2], raw[3]))
        else:
            rows.append((DELETED,) * 5)
    return rows


def live_links(gmap):
    """Every live dart's four links, by dart id."""
    return {row[0]: row[1:] for row in dart_table(gmap) if row[0] != DELETED}


def square_face(gmap):
    """Appends an isolated square face of 8 darts first..first+7: alpha0 pairs (0,1), (2,3), ..,
    alpha1 pairs (1,2), .., (7,0). Returns its darts."""
    first = len(gmap)
    gmap.make_darts(8)
    for i in range(0, 8, 2):
        gmap.linkAlpha(0, first + i, first + i + 1)
        gmap.linkAlpha(1, first + i + 1, first + (i + 2) % 8)
    return list(range(first, first + 8))
