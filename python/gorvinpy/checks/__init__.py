"""Checks of G-maps (conditions, cell counts) and of rules before they are applied."""
