"""A self-contained HTML page that shows a G-map with positions in a browser.

The page carries its data and its script inline and needs no network: every face of every volume
is drawn on a canvas, shaded and coloured by volume, back to front. Drag to rotate, scroll to zoom,
and move the slider to shrink each volume towards its centre so that inner volumes show.
"""

from __future__ import annotations

import json
from pathlib import Path
from typing import Optional

import numpy as np

import gorvinpy_bin

from . import _native
from .meshio import PathLike
from .volumes import GMapTables, face_cycles

_PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>__TITLE__</title>
<style>
  html, body { margin: 0; height: 100%; background: #ffffff; font: 14px sans-serif; overflow: hidden; }
  canvas { display: block; width: 100%; height: 100%; cursor: grab; }
  #controls { position: absolute; left: 12px; top: 10px; color: #333; }
</style>
</head>
<body>
<div id="controls">__TITLE__ &middot; <label>explode <input id="explode" type="range" min="0" max="0.8"
  step="0.01" value="__EXPLODE__"></label> &middot; drag to rotate, scroll to zoom</div>
<canvas id="view"></canvas>
<script type="application/json" id="model">__MODEL__</script>
<script>
"use strict";
const model = JSON.parse(document.getElementById("model").textContent);
const canvas = document.getElementById("view");
const context = canvas.getContext("2d");
const slider = document.getElementById("explode");
const points = model.points, faces = model.faces, volumeOf = model.volumes;
const volumeCount = volumeOf.reduce((a, b) => Math.max(a, b + 1), 0);
const centres = [], counts = [];
for (let v = 0; v < volumeCount; v++) { centres.push([0, 0, 0]); counts.push(0); }
faces.forEach((face, f) => face.forEach(i => {
  const c = centres[volumeOf[f]];
  for (let a = 0; a < 3; a++) c[a] += points[i][a];
  counts[volumeOf[f]]++;
}));
centres.forEach((c, v) => { for (let a = 0; a < 3; a++) c[a] /= Math.max(counts[v], 1); });
const low = [Infinity, Infinity, Infinity], high = [-Infinity, -Infinity, -Infinity];
points.forEach(p => {
  for (let a = 0; a < 3; a++) { low[a] = Math.min(low[a], p[a]); high[a] = Math.max(high[a], p[a]); }
});
const middle = low.map((l, a) => (l + high[a]) / 2);
const radius = Math.max(Math.hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]) / 2, 1e-9);
let yaw = -0.7, pitch = 0.45, zoom = 1;

function colour(volume, light) {
  const hue = (volume * 137.508) % 360;
  return "hsl(" + hue.toFixed(1) + ",55%," + (25 + 45 * light).toFixed(1) + "%)";
}

function draw() {
  const width = canvas.clientWidth, height = canvas.clientHeight, ratio = window.devicePixelRatio || 1;
  canvas.width = width * ratio; canvas.height = height * ratio;
  context.setTransform(ratio, 0, 0, ratio, 0, 0);
  context.clearRect(0, 0, width, height);
  const shrink = 1 - Number(slider.value);
  const cy = Math.cos(yaw), sy = Math.sin(yaw), cp = Math.cos(pitch), sp = Math.sin(pitch);
  const scale = zoom * 0.45 * Math.min(width, height) / radius;
  const drawn = [];
  faces.forEach((face, f) => {
    const centre = centres[volumeOf[f]];
    const view = face.map(i => {
      const p = points[i].map((x, a) => centre[a] + (x - centre[a]) * shrink - middle[a]);
      const x = cy * p[0] - sy * p[1], y = sy * p[0] + cy * p[1];
      return [x, cp * p[2] + sp * y, cp * y - sp * p[2]];  // seen from above, depth grows away
    });
    let nx = 0, ny = 0, nz = 0, depth = 0;
    view.forEach((a, k) => {
      const b = view[(k + 1) % view.length];
      nx += (a[1] - b[1]) * (a[2] + b[2]); ny += (a[2] - b[2]) * (a[0] + b[0]); nz += (a[0] - b[0]) * (a[1] + b[1]);
      depth += a[2];
    });
    const length = Math.hypot(nx, ny, nz) || 1;
    const light = Math.abs((-0.4 * nx + 0.5 * ny - 0.75 * nz) / length / 0.985);
    drawn.push({ depth: depth / view.length, view: view, fill: colour(volumeOf[f], light) });
  });
  drawn.sort((a, b) => b.depth - a.depth);
  context.lineWidth = 0.6;
  context.strokeStyle = "rgba(30, 30, 40, 0.8)";
  for (const face of drawn) {
    context.beginPath();
    face.view.forEach((p, k) => {
      const x = width / 2 + p[0] * scale, y = height / 2 - p[1] * scale;
      if (k === 0) context.moveTo(x, y); else context.lineTo(x, y);
    });
    context.closePath();
    context.fillStyle = face.fill;
    context.fill();
    context.stroke();
  }
}

let dragging = null;
canvas.addEventListener("pointerdown", e => {
  dragging = [e.clientX, e.clientY];
  canvas.setPointerCapture(e.pointerId);
});
canvas.addEventListener("pointerup", () => { dragging = null; });
canvas.addEventListener("pointermove", e => {
  if (!dragging) return;
  yaw += (e.clientX - dragging[0]) * 0.01;
  pitch = Math.max(-1.5, Math.min(1.5, pitch + (e.clientY - dragging[1]) * 0.01));
  dragging = [e.clientX, e.clientY];
  draw();
});
canvas.addEventListener("wheel", e => {
  e.preventDefault();
  zoom *= Math.exp(-e.deltaY * 0.001);
  draw();
}, { passive: false });
slider.addEventListener("input", draw);
window.addEventListener("resize", draw);
draw();
</script>
</body>
</html>
"""


def export_html(gmap: gorvinpy_bin.GMap3D, path: PathLike, title: Optional[str] = None,
                explode: Optional[float] = None) -> None:
    """Writes one HTML page that draws the G-map's faces, coloured by volume, in a browser.

    explode (0 to 0.8) shrinks each volume towards its centre; by default 0.15 when there are
    several volumes, else 0.
    """
    tables = GMapTables.of(gmap)
    groups = list(face_cycles(tables, tables.live).values())
    empty = np.zeros(0, dtype=np.int64)
    vertex_ids = np.unique(np.concatenate([empty] + [cycles.reshape(-1) for cycles, _ in groups]))
    volumes = np.concatenate([empty] + [tables.volume[first] for _, first in groups])
    model = {
        "points": _native.positions(gmap, vertex_ids).tolist(),
        "faces": [face for cycles, _ in groups for face in np.searchsorted(vertex_ids, cycles).tolist()],
        "volumes": np.unique(volumes, return_inverse=True)[1].tolist(),
    }
    if explode is None:
        explode = 0.15 if len(set(model["volumes"])) > 1 else 0.0
    name = title if title is not None else Path(path).stem
    page = (
        _PAGE.replace("__MODEL__", json.dumps(model, separators=(",", ":")).replace("</", "<\\/"))
        .replace("__TITLE__", _escape(name))
        .replace("__EXPLODE__", f"{min(max(explode, 0.0), 0.8):g}")
    )
    Path(path).write_text(page, encoding="utf-8")


def _escape(text: str) -> str:
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
