"""gorvinpy.show in a notebook executed by a real kernel (nbclient), and what it displays opened
in Chromium."""

import html
import re
import sys

import pytest

import gorvinpy
import gorvinpy_bin as gorvin
from browser import Browser, chromium_path

nbformat = pytest.importorskip("nbformat")
nbclient = pytest.importorskip("nbclient")

CELLS = [
    "import gorvinpy, gorvinpy_bin as gorvin\n"
    "cube = gorvin.Modeler3D().make_gmap()\n"
    "cube.apply(gorvinpy.cube())\n"
    "gorvinpy.show(cube, title='cube', height=400)",
    "print('after')",
]


def executed(cells, tmp_path):
    from jupyter_client.kernelspec import KernelSpecManager

    if "python3" not in KernelSpecManager().find_kernel_specs():  # the kernel of this interpreter
        from ipykernel.kernelspec import install

        install(prefix=sys.prefix)
    notebook = nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(cell) for cell in cells])
    where = {"metadata": {"path": str(tmp_path)}}
    nbclient.NotebookClient(notebook, timeout=120, kernel_name="python3", resources=where).execute()
    return notebook


def test_show_displays_the_page_inline(tmp_path, monkeypatch):
    for name in ("LD_PRELOAD", "PYTHONPATH"):  # the kernel runs the installed package, not the sanitizer's build
        monkeypatch.delenv(name, raising=False)
    notebook = executed(CELLS, tmp_path)
    outputs = notebook.cells[0].outputs
    assert [output.output_type for output in outputs] == ["display_data"]  # shown once, no result echoed
    shown = outputs[0].data["text/html"]
    srcdoc = re.fullmatch(r'<iframe srcdoc="([^"]*)" style="width: 100%; height: 400px;[^"]*"></iframe>', shown)
    assert srcdoc
    cube = gorvin.Modeler3D().make_gmap()
    cube.apply(gorvinpy.cube())
    page = html.unescape(srcdoc.group(1))
    assert page == gorvinpy.pictures.html.page_html(cube, "cube")
    assert notebook.cells[1].outputs[0].text == "after\n"
    if chromium_path() is None:
        pytest.skip("chromium is not installed")
    (tmp_path / "shown.html").write_text(shown)
    with Browser(800, 500) as browser:
        browser.command("Page.navigate", session=True, url=(tmp_path / "shown.html").as_uri())
        count = browser.evaluate(
            "new Promise(done => { const wait = () => { const frame = document.querySelector('iframe');"
            " const inner = frame && frame.contentWindow.gorvin;"
            " if (inner) done(inner.darts); else setTimeout(wait, 20); }; wait(); })")
        assert count == len(cube)
        assert browser.errors() == []


def test_show_outside_a_notebook_says_where_to_turn():
    gmap = gorvin.Modeler3D().make_gmap()
    with pytest.raises(RuntimeError, match="export_html"):
        gorvinpy.show(gmap)
    with pytest.raises(ValueError, match="height"):
        gorvinpy.show(gmap, height=0)
