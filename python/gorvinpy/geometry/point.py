"""Point: an (x, y, z) tuple of floats, the one shape of a point across the package."""

from typing import Tuple

Point = Tuple[float, float, float]
