"""Modelling operations as rules: the rule builder, batch application, and the surface, cell,
subdivision, chamfer and volume operations."""
