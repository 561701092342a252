"""Positions and the point-rule language, polygons, volume cells and surface normals."""
