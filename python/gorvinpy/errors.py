"""The base of the package's own errors."""


class GorvinError(Exception):
    """An error raised by gorvinpy itself; each kind also derives from the built-in error it refines
    (ValueError, KeyError, ...), so callers may catch either."""
