// The G-map view: faces shaded and exploded by volume, darts as segments with their alpha links,
// picking by an id buffer. Arrays come base64-encoded in <script id="gorvin-NAME"> elements.
"use strict";
(function () {
  const model = JSON.parse(document.getElementById("gorvin-model").textContent);
  const TYPES = { float32: Float32Array, float64: Float64Array, int32: Int32Array };

  function decode(name) {
    const element = document.getElementById("gorvin-" + name);
    const text = element.textContent;
    let bytes;
    if (Uint8Array.fromBase64) {
      bytes = Uint8Array.fromBase64(text);
    } else {
      const raw = atob(text);
      bytes = new Uint8Array(raw.length);
      for (let i = 0; i < raw.length; i++) bytes[i] = raw.charCodeAt(i);
    }
    const type = TYPES[element.dataset.type];
    return new type(bytes.buffer, bytes.byteOffset, bytes.byteLength / type.BYTES_PER_ELEMENT);
  }

  const ids = decode("ids"), links = decode("links"), segments = decode("segments");
  const vertex = decode("vertex"), points = decode("points"), face = decode("face");
  const faceCentres = decode("face_centres"), volume = decode("volume"), volumeCentres = decode("volume_centres");
  const cornerPoint = decode("corner_point"), cornerVolume = decode("corner_volume");
  const triangles = decode("triangles");
  const records = model.texts ? decode("records") : null;
  const n = ids.length;
  const ATTACH = model.attach, COLOURS = [0xd62728, 0x2ca02c, 0x1f5fd6, 0xe07b00];

  const canvas = document.getElementById("view");
  const renderer = new THREE.WebGLRenderer({ canvas: canvas, antialias: n <= model.dartCap });
  // While the view moves, large G-maps draw at half the pixel ratio (the browser scales the canvas
  // up); SETTLE_MS after the last move the picture is drawn again at the full ratio.
  const FULL_RATIO = window.devicePixelRatio || 1, SETTLE_MS = 200;
  const MOTION_RATIO = n > model.dartCap ? FULL_RATIO / 2 : FULL_RATIO;
  renderer.setPixelRatio(FULL_RATIO);
  renderer.setClearColor(0xffffff, 1);
  const gl = renderer.getContext();
  const scene = new THREE.Scene(), pickScene = new THREE.Scene();
  const camera = new THREE.OrthographicCamera(-1, 1, 1, -1, -1, 1);
  const controls = {};
  ["faces", "darts", "alpha0", "alpha1", "alpha2", "alpha3", "orbit", "explode"].forEach(name => {
    controls[name] = document.getElementById(name);
  });
  const info = document.getElementById("info");

  // Framing: the box around the vertices; its half diagonal fills 0.45 of the shorter side.
  const low = [Infinity, Infinity, Infinity], high = [-Infinity, -Infinity, -Infinity];
  for (let i = 0; i < points.length; i++) {
    low[i % 3] = Math.min(low[i % 3], points[i]);
    high[i % 3] = Math.max(high[i % 3], points[i]);
  }
  const middle = points.length ? low.map((l, a) => (l + high[a]) / 2) : [0, 0, 0];
  const radius = points.length ? Math.max(Math.hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]) / 2, 1e-9) : 1;
  const view = { azimuth: -60, elevation: 25, zoom: 1 };

  // Shaders: every point is moved towards the centre of its volume by the explode slider.
  const uniforms = { shrink: { value: 1 }, ratio: { value: FULL_RATIO } };
  const PLACE = "attribute vec3 centre;\nuniform float shrink;\n" +
    "vec4 place() { return projectionMatrix * modelViewMatrix * vec4(centre + (position - centre) * shrink, 1.0); }\n";
  function material(vertexMain, fragmentMain, extra, options) {
    return new THREE.ShaderMaterial(Object.assign({
      uniforms: Object.assign({}, uniforms, extra || {}),
      vertexShader: PLACE + vertexMain,
      fragmentShader: fragmentMain,
    }, options || {}));
  }
  function flat(colour, options) {
    return material("void main() { gl_Position = place(); }",
      "uniform vec3 colour; uniform float opacity;\nvoid main() { gl_FragColor = vec4(colour, opacity); }",
      { colour: { value: new THREE.Color(colour) }, opacity: { value: 1 } }, options);
  }
  function dots(colour, size) {
    return material("uniform float size;\nuniform float ratio;\nvoid main() { gl_Position = place(); gl_PointSize = size * ratio; }",
      "uniform vec3 colour;\nvoid main() { gl_FragColor = vec4(colour, 1.0); }",
      { colour: { value: new THREE.Color(colour) }, size: { value: size } });
  }
  const PICK_VERTEX = "attribute float pickId;\nvarying float id;\nvoid main() { id = pickId; gl_Position = place(); }";
  const PICK_FRAGMENT = "varying float id;\nvoid main() {\n  float k = floor(id + 0.5);\n" +
    "  gl_FragColor = vec4(mod(k, 256.0), mod(floor(k / 256.0), 256.0), floor(k / 65536.0), 255.0) / 255.0;\n}";
  function pickMaterial(options) { return material(PICK_VERTEX, PICK_FRAGMENT, {}, options); }

  function geometry(positions, centres, extra) {
    const made = new THREE.BufferGeometry();
    made.setAttribute("position", new THREE.BufferAttribute(positions, 3));
    made.setAttribute("centre", new THREE.BufferAttribute(centres, 3));
    for (const name in extra || {}) made.setAttribute(name, new THREE.BufferAttribute(extra[name][0], extra[name][1]));
    return made;
  }
  function centresOf(darts, perDart) {
    const out = new Float32Array(darts.length * perDart * 3);
    for (let k = 0; k < darts.length; k++) {
      const v = 3 * volume[darts[k]];
      for (let j = 0; j < perDart; j++) out.set(volumeCentres.subarray(v, v + 3), 3 * (perDart * k + j));
    }
    return out;
  }
  function allDarts() { const out = new Int32Array(n); for (let d = 0; d < n; d++) out[d] = d; return out; }

  // Faces: fan triangles of every face of every volume on corners shared per volume, one hue per
  // volume, flat normals from the screen derivatives of the view position.
  function facesMesh() {
    const count = cornerPoint.length;
    const position = new Float32Array(3 * count), centre = new Float32Array(3 * count), tint = new Float32Array(3 * count);
    const colour = new THREE.Color();
    for (let k = 0; k < count; k++) {
      const p = 3 * cornerPoint[k], v = cornerVolume[k];
      position[3 * k] = points[p]; position[3 * k + 1] = points[p + 1]; position[3 * k + 2] = points[p + 2];
      centre.set(volumeCentres.subarray(3 * v, 3 * v + 3), 3 * k);
      colour.setHSL(((v * 137.508) % 360) / 360, 0.55, 0.55);
      tint[3 * k] = colour.r; tint[3 * k + 1] = colour.g; tint[3 * k + 2] = colour.b;
    }
    const shape = geometry(position, centre, { tint: [tint, 3] });
    shape.setIndex(new THREE.BufferAttribute(new Uint32Array(triangles.buffer, triangles.byteOffset, triangles.length), 1));
    // Groups of triangles: the faces of closed volumes turn outwards and show their front only.
    for (const [start, count, cull] of model.faceGroups) shape.addGroup(3 * start, 3 * count, cull ? 1 : 0);
    const both = { side: THREE.DoubleSide }, front = { side: THREE.FrontSide };
    const shadedUniforms = { pale: { value: 0 }, opacity: { value: 1 } };
    const shaded = side => material(
      "attribute vec3 tint;\nvarying vec3 colour;\nvarying vec3 seen;\n" +
      "void main() { colour = tint; gl_Position = place(); seen = (modelViewMatrix * vec4(centre + (position - centre) * shrink, 1.0)).xyz; }",
      "uniform float pale; uniform float opacity;\nvarying vec3 colour;\nvarying vec3 seen;\n" +
      "void main() {\n  vec3 n = normalize(cross(dFdx(seen), dFdy(seen)));\n  float diffuse = abs(dot(n, normalize(vec3(-0.4, 0.5, 0.75))));\n" +
      "  float shine = pow(abs(dot(n, normalize(vec3(-0.4, 0.5, 1.75)))), 24.0);\n" +
      "  vec3 lit = colour * (0.3 + 0.7 * diffuse) + 0.25 * shine;\n" +
      "  gl_FragColor = vec4(mix(lit, vec3(1.0), pale), opacity);\n}",
      shadedUniforms,
      Object.assign({ polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1, extensions: { derivatives: true } }, side));
    const depth = side => material("void main() { gl_Position = place(); }", "void main() { gl_FragColor = vec4(0.0); }", {},
      Object.assign({ colorWrite: false, polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1 }, side));
    const mesh = new THREE.Mesh(shape, [shaded(both), shaded(front)]);
    const depthOnly = new THREE.Mesh(shape, [depth(both), depth(front)]);
    const stand = standIn(position, centre, tint);
    return { mesh: mesh, depthOnly: depthOnly, uniforms: shadedUniforms,
             motion: stand && Object.assign(new THREE.Mesh(stand.shape, mesh.material), { outer: stand.outer }) };
  }

  // The mesh drawn while the view moves, above model.motionCap triangles: open surfaces clustered on
  // a grid (the corners of a volume in one cell merge into the first of them, triangles left with
  // fewer than three corners drop), closed volumes without those that have no outer face.
  function standIn(position, centre, tint) {
    const total = triangles.length / 3;
    if (total <= model.motionCap) return null;
    const outerVolume = new Uint8Array(volumeCentres.length / 3), openCorner = new Uint8Array(cornerPoint.length);
    let area = 0;
    for (let t = 0; t < model.outerTriangles; t++) outerVolume[cornerVolume[triangles[3 * t]]] = 1;
    const corner = (k, a) => position[3 * k + a];
    for (const [start, count, cull] of model.faceGroups) {
      if (cull) continue;
      for (let t = start; t < start + count; t++) {
        const a = triangles[3 * t], b = triangles[3 * t + 1], c = triangles[3 * t + 2];
        openCorner[a] = openCorner[b] = openCorner[c] = 1;
        const ux = corner(b, 0) - corner(a, 0), uy = corner(b, 1) - corner(a, 1), uz = corner(b, 2) - corner(a, 2);
        const vx = corner(c, 0) - corner(a, 0), vy = corner(c, 1) - corner(a, 1), vz = corner(c, 2) - corner(a, 2);
        area += Math.hypot(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx) / 2;
      }
    }
    const cell = Math.max(Math.sqrt(2 * area / model.motionCap), 1e-12);
    // a corner's cluster key: its grid cell and volume as one integer (below 2^53 for any cap
    // near the default), negative for the corners kept as they are
    const cells = [0, 1, 2].map(a => Math.floor((high[a] - low[a]) / cell) + 1);
    const volumes = volumeCentres.length / 3;
    const gridIndex = (k, a) => Math.min(Math.max(Math.floor((corner(k, a) - low[a]) / cell), 0), cells[a] - 1);
    const cluster = new Int32Array(cornerPoint.length), first = new Map(), kept = [];
    for (let k = 0; k < cornerPoint.length; k++) {
      let key = -1 - k;
      if (openCorner[k]) {
        key = ((gridIndex(k, 0) * cells[1] + gridIndex(k, 1)) * cells[2] + gridIndex(k, 2)) * volumes + cornerVolume[k];
      }
      const found = first.get(key);
      if (found === undefined) { first.set(key, kept.length); cluster[k] = kept.length; kept.push(k); }
      else cluster[k] = found;
    }
    const index = [], groups = [];
    let outer = 0;
    for (const [start, count, cull] of model.faceGroups) {
      const from = index.length / 3;
      for (let t = start; t < start + count; t++) {
        const a = cluster[triangles[3 * t]], b = cluster[triangles[3 * t + 1]], c = cluster[triangles[3 * t + 2]];
        if (a === b || b === c || a === c) continue;
        if (cull && t >= model.outerTriangles && !outerVolume[cornerVolume[triangles[3 * t]]]) continue;
        index.push(a, b, c);
      }
      groups.push([from, index.length / 3 - from, cull]);
      if (start < model.outerTriangles) outer = index.length / 3;
    }
    const pick = (values) => {
      const out = new Float32Array(3 * kept.length);
      kept.forEach((k, j) => out.set(values.subarray(3 * k, 3 * k + 3), 3 * j));
      return out;
    };
    const shape = geometry(pick(position), pick(centre), { tint: [pick(tint), 3] });
    shape.setIndex(new THREE.BufferAttribute(new Uint32Array(index), 1));
    for (const [start, count, cull] of groups) shape.addGroup(3 * start, 3 * count, cull ? 1 : 0);
    return { shape: shape, outer: outer };
  }

  // Each dart's share of its face: the triangle of its vertex, its edge's middle and the face centre.
  function regions(darts) {
    const position = new Float32Array(darts.length * 9), pickId = new Float32Array(darts.length * 3);
    for (let k = 0; k < darts.length; k++) {
      const d = darts[k], p = 3 * vertex[d], partner = links[4 * d];
      const q = partner >= 0 ? 3 * vertex[partner] : p, f = 3 * face[d];
      for (let a = 0; a < 3; a++) {
        position[9 * k + a] = points[p + a];
        position[9 * k + 3 + a] = (points[p + a] + points[q + a]) / 2;
        position[9 * k + 6 + a] = faceCentres[f + a];
      }
      pickId.fill(d + 1, 3 * k, 3 * k + 3);
    }
    return geometry(position, centresOf(darts, 3), { pickId: [pickId, 1] });
  }

  function segmentsOf(darts) {
    const position = new Float32Array(darts.length * 6);
    for (let k = 0; k < darts.length; k++) position.set(segments.subarray(6 * darts[k], 6 * darts[k] + 6), 6 * k);
    return position;
  }
  function attachPoint(d, dim, out, at) {
    const t = ATTACH[dim], s = 6 * d;
    for (let a = 0; a < 3; a++) out[at + a] = segments[s + a] + t * (segments[s + 3 + a] - segments[s + a]);
  }

  // Darts (a dot at the vertex end), their links along each dimension and the marks of free darts, made when first shown.
  let dartLayer = null;
  function makeDartLayer() {
    const every = allDarts();
    const centres = centresOf(every, 2);
    const pickId = new Float32Array(2 * n);
    for (let d = 0; d < n; d++) { pickId[2 * d] = d + 1; pickId[2 * d + 1] = d + 1; }
    const shape = geometry(segments, centres, { pickId: [pickId, 1] });
    const starts = new Float32Array(3 * n), startCentres = new Float32Array(3 * n);
    for (let d = 0; d < n; d++) {
      starts.set(segments.subarray(6 * d, 6 * d + 3), 3 * d);
      startCentres.set(centres.subarray(6 * d, 6 * d + 3), 3 * d);
    }
    const layer = { lines: new THREE.LineSegments(shape, flat(0x222222)), pick: new THREE.LineSegments(shape, pickMaterial()),
                    starts: new THREE.Points(geometry(starts, startCentres), dots(0x222222, 3)), links: [], free: [] };
    for (let dim = 0; dim < 4; dim++) {
      let pairs = 0, free = 0;
      for (let d = 0; d < n; d++) {
        const e = links[4 * d + dim];
        if (e > d) pairs++; else if (e === d) free++;
      }
      const linkAt = new Float32Array(6 * pairs), linkCentre = new Float32Array(6 * pairs);
      const freeAt = new Float32Array(3 * free), freeCentre = new Float32Array(3 * free);
      let p = 0, f = 0;
      for (let d = 0; d < n; d++) {
        const e = links[4 * d + dim];
        if (e > d) {
          attachPoint(d, dim, linkAt, 6 * p); attachPoint(e, dim, linkAt, 6 * p + 3);
          linkCentre.set(centres.subarray(6 * d, 6 * d + 3), 6 * p);
          linkCentre.set(centres.subarray(6 * e, 6 * e + 3), 6 * p + 3);
          p++;
        } else if (e === d) {
          attachPoint(d, dim, freeAt, 3 * f);
          freeCentre.set(centres.subarray(6 * d, 6 * d + 3), 3 * f);
          f++;
        }
      }
      layer.links.push(new THREE.LineSegments(geometry(linkAt, linkCentre), flat(COLOURS[dim])));
      layer.free.push(new THREE.Points(geometry(freeAt, freeCentre), dots(COLOURS[dim], 3.5)));
    }
    return layer;
  }

  const faces = facesMesh();
  let regionPick = null;
  const highlight = { darts: [], lines: null, ends: null, picked: null, regions: null };
  const pickTarget = new THREE.WebGLRenderTarget(1, 1);
  let picked = null;

  function frame() {
    const width = canvas.clientWidth || 1, height = canvas.clientHeight || 1;
    const size = renderer.getSize(new THREE.Vector2());
    if (size.x !== width || size.y !== height) renderer.setSize(width, height, false);  // a resize clears the buffer
    const half = radius / (0.9 * view.zoom), shorter = Math.min(width, height);
    camera.left = -half * width / shorter; camera.right = half * width / shorter;
    camera.top = half * height / shorter; camera.bottom = -half * height / shorter;
    const el = view.elevation * Math.PI / 180, az = view.azimuth * Math.PI / 180;
    const towards = [Math.cos(el) * Math.cos(az), Math.cos(el) * Math.sin(az), Math.sin(el)];
    camera.position.set(middle[0] + 2 * radius * towards[0], middle[1] + 2 * radius * towards[1], middle[2] + 2 * radius * towards[2]);
    camera.up.set(-Math.sin(el) * Math.cos(az), -Math.sin(el) * Math.sin(az), Math.cos(el));
    camera.near = 0; camera.far = 4 * radius;
    camera.lookAt(middle[0], middle[1], middle[2]);
    camera.updateProjectionMatrix();
    uniforms.shrink.value = 1 - Number(controls.explode.value);
    uniforms.ratio.value = renderer.getPixelRatio();
    faces.mesh.geometry.setDrawRange(0, uniforms.shrink.value === 1 ? 3 * model.outerTriangles : Infinity);
    faces.mesh.visible = !(inMotion && faces.motion);
    if (faces.motion) {
      faces.motion.visible = inMotion;
      faces.motion.geometry.setDrawRange(0, uniforms.shrink.value === 1 ? 3 * faces.motion.outer : Infinity);
    }
  }

  function compose() {
    scene.remove.apply(scene, scene.children.slice());
    pickScene.remove.apply(pickScene, pickScene.children.slice());
    const showDarts = controls.darts.checked, showFaces = controls.faces.checked;
    if (showDarts && !dartLayer) dartLayer = makeDartLayer();
    if (showFaces) {
      faces.uniforms.pale.value = showDarts ? 0.55 : 0;
      faces.uniforms.opacity.value = showDarts ? 0.35 : 1;
      for (const shaded of faces.mesh.material) {
        shaded.transparent = showDarts;
        shaded.depthWrite = !showDarts;
      }
      scene.add(faces.mesh);
      if (faces.motion) scene.add(faces.motion);
      if (!showDarts) pickScene.add(faces.depthOnly);
    }
    if (showDarts) {
      scene.add(dartLayer.lines);
      scene.add(dartLayer.starts);
      pickScene.add(dartLayer.pick);
      for (let dim = 0; dim < 4; dim++) {
        if (!controls["alpha" + dim].checked) continue;
        scene.add(dartLayer.links[dim]);
        scene.add(dartLayer.free[dim]);
      }
    }
    for (const part of ["regions", "lines", "ends", "picked"]) {
      if (highlight[part] && (part !== "regions" || showFaces) && (part === "regions" || showDarts)) scene.add(highlight[part]);
    }
    if (showFaces && !showDarts && highlight.picked) scene.add(highlight.picked);
  }

  let drawnTriangles = 0;
  function draw() {
    frame();
    renderer.render(scene, camera);
    drawnTriangles = renderer.info.render.triangles;
    if (inMotion) restLater();
  }
  function finished() { gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4)); }
  let settling = null, inMotion = false;
  function moving() {
    inMotion = MOTION_RATIO !== FULL_RATIO || faces.motion !== null;
    if (renderer.getPixelRatio() !== MOTION_RATIO) renderer.setPixelRatio(MOTION_RATIO);
  }
  function restLater() {  // SETTLE_MS after the last frame drawn in motion
    clearTimeout(settling);
    settling = setTimeout(settle, SETTLE_MS);
  }
  function settle() {
    clearTimeout(settling);
    settling = null;
    if (!inMotion) return false;
    inMotion = false;
    renderer.setPixelRatio(FULL_RATIO);
    draw();
    return true;
  }
  let pending = false;
  function redraw() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => { pending = false; draw(); });
  }

  // Picking: darts within a few pixels first (nearest wins), else the dart whose share of a face is hit.
  function readIds(scn, x, y, reach) {
    const ratio = renderer.getPixelRatio(), size = renderer.getDrawingBufferSize(new THREE.Vector2());
    if (pickTarget.width !== size.x || pickTarget.height !== size.y) pickTarget.setSize(size.x, size.y);
    const px = Math.round(x * ratio), py = Math.round(size.y - y * ratio), r = Math.ceil(reach * ratio);
    const x0 = Math.max(0, px - r), y0 = Math.max(0, py - r);
    const w = Math.min(size.x, px + r + 1) - x0, h = Math.min(size.y, py + r + 1) - y0;
    if (w <= 0 || h <= 0) return null;
    pickTarget.scissor.set(x0, y0, w, h);
    pickTarget.scissorTest = true;
    renderer.setRenderTarget(pickTarget);
    renderer.setClearColor(0x000000, 0);
    renderer.clear();
    renderer.render(scn, camera);
    const pixels = new Uint8Array(4 * w * h);
    renderer.readRenderTargetPixels(pickTarget, x0, y0, w, h, pixels);
    renderer.setRenderTarget(null);
    renderer.setClearColor(0xffffff, 1);
    let best = null, bestDistance = Infinity;
    for (let j = 0; j < h; j++) {
      for (let i = 0; i < w; i++) {
        const at = 4 * (j * w + i), id = pixels[at] + 256 * pixels[at + 1] + 65536 * pixels[at + 2];
        const distance = Math.hypot(x0 + i - px, y0 + j - py);
        if (id > 0 && distance < bestDistance && distance <= r) { best = id - 1; bestDistance = distance; }
      }
    }
    return best;
  }

  function pickAt(x, y) {
    settle();
    frame();
    let dart = null;
    if (controls.darts.checked) dart = readIds(pickScene, x, y, 6);
    if (dart === null && controls.faces.checked) {
      if (!regionPick) regionPick = new THREE.Mesh(regions(allDarts()), pickMaterial({ side: THREE.DoubleSide }));
      const regionScene = new THREE.Scene();
      regionScene.add(regionPick);
      dart = readIds(regionScene, x, y, 0);
    }
    return dart;
  }

  function orbitOf(start, dims) {
    const seen = new Set([start]), out = [start];
    for (let k = 0; k < out.length; k++) {
      for (const dim of dims) {
        const e = links[4 * out[k] + dim];
        if (e >= 0 && !seen.has(e)) { seen.add(e); out.push(e); }
      }
    }
    return out;
  }

  function select(dart) {
    picked = dart;
    for (const part of ["lines", "ends", "picked", "regions"]) highlight[part] = null;
    highlight.darts = [];
    if (dart !== null) {
      const dims = controls.orbit.value.split(",").map(Number);
      const darts = orbitOf(dart, dims);
      highlight.darts = darts;
      const centres = centresOf(darts, 2), ends = segmentsOf(darts);
      highlight.lines = new THREE.LineSegments(geometry(ends, centres), flat(0xff00cc, { depthFunc: THREE.LessEqualDepth }));
      highlight.ends = new THREE.Points(geometry(ends, centres), dots(0xff00cc, 4));
      highlight.picked = new THREE.Points(geometry(segmentsOf([dart]), centresOf([dart], 2)), dots(0x000000, 7));
      const tint = flat(0xff00cc, { transparent: true, depthWrite: false, side: THREE.DoubleSide, depthFunc: THREE.LessEqualDepth });
      tint.uniforms.opacity.value = 0.3;
      highlight.regions = new THREE.Mesh(regions(darts), tint);
    }
    info.textContent = dart === null ? "" : describe(dart);
    compose();
    redraw();
  }

  function linkText(d, dim) {
    const e = links[4 * d + dim];
    return "\u03b1" + dim + " " + (e === d ? "free" : e < 0 ? "no dart" : String(ids[e]));
  }
  function describe(d) {
    const p = 3 * vertex[d];
    const lines = ["dart " + ids[d] + "   " + [0, 1, 2, 3].map(dim => linkText(d, dim)).join("   "),
      "position (" + [0, 1, 2].map(a => Number(points[p + a].toPrecision(6))).join(", ") + ")",
      controls.orbit.selectedOptions[0].textContent + ": " + highlight.darts.length + " darts"];
    if (records) {
      model.slots.forEach((slot, k) => {
        const code = records[model.slots.length * d + k];
        if (code >= 0) lines.push(slot + " " + model.texts[code]);
        else if (code < -1) lines.push(slot + " " + model.texts[-2 - code]);
      });
    } else {
      lines.push("(embedding values shown for G-maps of up to " + model.valueCap.toLocaleString("en") + " darts)");
    }
    return lines.join("\n");
  }

  function result(dart) {
    if (dart === null) return null;
    return { dart: ids[dart], links: [0, 1, 2, 3].map(dim => links[4 * dart + dim] < 0 ? null : ids[links[4 * dart + dim]]),
             orbit: highlight.darts.map(d => ids[d]), text: info.textContent };
  }

  // Setting up the controls.
  controls.faces.checked = true;
  controls.darts.checked = model.showDarts;
  controls.darts.disabled = n === 0;
  for (let dim = 0; dim < 4; dim++) controls["alpha" + dim].checked = dim < 3 || model.hasAlpha3;
  controls.explode.value = String(model.explode);
  if (n > model.dartCap && !model.showDarts) {
    document.getElementById("note").textContent = n.toLocaleString("en") + " darts: above " +
      model.dartCap.toLocaleString("en") + " the dart view starts off (tick darts to draw them).";
  }
  for (const name of ["faces", "darts", "alpha0", "alpha1", "alpha2", "alpha3"]) {
    controls[name].addEventListener("change", () => { compose(); redraw(); });
  }
  controls.orbit.addEventListener("change", () => select(picked));
  controls.explode.addEventListener("input", redraw);

  let dragging = null, moved = false;
  canvas.addEventListener("pointerdown", e => {
    dragging = [e.clientX, e.clientY]; moved = false;
    canvas.setPointerCapture(e.pointerId);
  });
  canvas.addEventListener("pointerup", e => {
    if (dragging && !moved) {
      const box = canvas.getBoundingClientRect();
      select(pickAt(e.clientX - box.left, e.clientY - box.top));
    }
    dragging = null;
  });
  let hoverPending = false;
  canvas.addEventListener("pointermove", e => {
    if (!dragging) {
      if (n > model.dartCap || hoverPending) return;  // large G-maps pick on click only
      hoverPending = true;
      requestAnimationFrame(() => {
        hoverPending = false;
        const box = canvas.getBoundingClientRect(), dart = pickAt(e.clientX - box.left, e.clientY - box.top);
        if (dart !== null) info.textContent = describe(dart);
        else if (picked !== null) info.textContent = describe(picked);
        else info.textContent = "";
      });
      return;
    }
    if (Math.abs(e.clientX - dragging[0]) + Math.abs(e.clientY - dragging[1]) > 2) moved = true;
    view.azimuth -= (e.clientX - dragging[0]) * 0.5;
    view.elevation = Math.max(-90, Math.min(90, view.elevation + (e.clientY - dragging[1]) * 0.5));
    dragging = [e.clientX, e.clientY];
    moving();
    redraw();
  });
  canvas.addEventListener("wheel", e => {
    e.preventDefault();
    view.zoom *= Math.exp(-e.deltaY * 0.001);
    moving();
    redraw();
  }, { passive: false });
  window.addEventListener("resize", redraw);

  compose();
  draw();
  finished();
  const loaded = performance.now();

  // For tests and benchmarks: pick(x, y) in CSS pixels from the canvas's top left selects and
  // describes the dart there (null: none); look(...) sets the view; turn(...) rotates and draws at
  // once as a drag does, returning the milliseconds until the drawing is done; refine() draws the
  // moved view at the full pixel ratio at once (else due SETTLE_MS after the last move), returning
  // its milliseconds (0: nothing to refine); ratio() is the pixel ratio drawn at; triangles() the
  // triangles of the last frame drawn.
  window.gorvin = {
    darts: n,
    loadedAt: loaded,
    pick: (x, y) => { select(pickAt(x, y)); return result(picked); },
    selected: () => result(picked),
    look: (azimuth, elevation, zoom) => {
      view.azimuth = azimuth; view.elevation = elevation; view.zoom = zoom === undefined ? 1 : zoom;
      if (!settle()) draw();
      finished();
    },
    show: options => {
      for (const name in options) {
        if (name === "orbit" || name === "explode") controls[name].value = String(options[name]);
        else controls[name].checked = options[name];
      }
      compose(); draw(); finished();
      if (picked !== null) select(picked);
    },
    turn: (degrees) => {
      const start = performance.now();
      view.azimuth += degrees;
      moving(); draw(); finished(); restLater();
      return performance.now() - start;
    },
    refine: () => {
      const start = performance.now();
      if (!settle()) return 0;
      finished();
      return performance.now() - start;
    },
    ratio: () => renderer.getPixelRatio(),
    triangles: () => drawnTriangles,
    state: () => ({ faces: controls.faces.checked, darts: controls.darts.checked,
                    note: document.getElementById("note").textContent }),
  };
})();
