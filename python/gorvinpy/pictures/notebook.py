"""The page of a G-map inline in JupyterLab and Jupyter Notebook: the same self-contained page as
export_html, in an iframe whose srcdoc holds it (so that its script and window.gorvin stay apart
from the notebook's)."""

from __future__ import annotations

import html
from typing import Optional

import gorvinpy_bin

from .html import page_html


class PageView:
    """A page that notebooks display as HTML (_repr_html_)."""

    def __init__(self, page: str, height: int):
        self.page = page
        self.height = height

    def _repr_html_(self) -> str:
        return (f'<iframe srcdoc="{html.escape(self.page, quote=True)}" style="width: 100%; '
                f'height: {self.height}px; border: 1px solid #ddd;"></iframe>')


def show(gmap: gorvinpy_bin.GMap3D, title: str = "G-map", explode: Optional[float] = None,
         darts: Optional[bool] = None, height: int = 480) -> None:
    """Displays the page of the G-map in the running notebook (options as page_html; height in
    pixels). Raises RuntimeError outside IPython: write the page with export_html there."""
    if height <= 0:
        raise ValueError(f"height must be a positive number of pixels, got {height}")
    try:
        from IPython import get_ipython
        from IPython.display import display

        running = get_ipython() is not None
    except ImportError:
        running = False
    if not running:
        raise RuntimeError("show displays in a notebook; outside one, write the page with export_html")
    display(PageView(page_html(gmap, title, explode, darts), height))
