"""Progress bars (tqdm, on standard error) for long work: G-maps over 10^7 darts, large files, many files.

Whether a bar shows: `progress=True` or `False` from the caller decides; otherwise the environment
variable GORVIN_PROGRESS ("1" on, "0" off); otherwise a bar shows only for long work and only when
standard error is a terminal, so that scripts, tests and CI print nothing. Without tqdm installed
(the `interop` extra) no bar shows.
"""

from __future__ import annotations

import os
import sys
from typing import Any, Iterable, Iterator, Optional, TypeVar

LONG_WORK_DARTS = 10**7
# A mesh file of this many bytes holds about 10^7 darts (about 5 bytes of OBJ or OFF text a dart).
LONG_WORK_BYTES = 5 * LONG_WORK_DARTS
ENVIRONMENT = "GORVIN_PROGRESS"
_T = TypeVar("_T")


def wanted(progress: Optional[bool], long_work: bool) -> bool:
    """Whether to show a bar: the caller's choice, else GORVIN_PROGRESS, else long work on a terminal."""
    if progress is not None:
        return bool(progress)
    setting = os.environ.get(ENVIRONMENT, "").strip()
    if setting in ("0", "1"):
        return setting == "1"
    return long_work and sys.stderr.isatty()


def is_long_file(path: Any) -> bool:
    """Whether reading the file is long work, judged by its size."""
    try:
        return os.path.getsize(path) >= LONG_WORK_BYTES
    except OSError:
        return False


class Stages:
    """A bar over the named stages of one piece of work; does nothing when not shown."""

    def __init__(self, total: int, description: str, shown: bool) -> None:
        self._bar = _bar(total, description) if shown else None

    def step(self, stage: str) -> None:
        """Marks the stage before this one done and names the one that starts."""
        if self._bar is not None:
            if self._bar.postfix:
                self._bar.update()
            self._bar.set_postfix_str(stage)

    def __enter__(self) -> "Stages":
        return self

    def __exit__(self, failure: Any, *details: Any) -> None:
        """Fills the bar when the work ended well, and takes it off the terminal in any case."""
        if self._bar is not None:
            if failure is None:
                self._bar.update(self._bar.total - self._bar.n)
            self._bar.close()
            self._bar = None


def tracked(items: Iterable[_T], total: int, description: str, shown: bool) -> Iterator[_T]:
    """The items, counted on a bar as they are consumed when shown."""
    if not shown:
        yield from items
        return
    bar = _bar(total, description)
    if bar is None:
        yield from items
        return
    with bar:
        for item in items:
            yield item
            bar.update()


def _bar(total: int, description: str):
    try:
        from tqdm import tqdm  # type: ignore[import-untyped]
    except ImportError:
        return None
    return tqdm(total=total, desc=description, file=sys.stderr, leave=False, dynamic_ncols=True)
