"""Meshes in and out: polygon and volume mesh files, other libraries' mesh objects, saved G-maps."""
