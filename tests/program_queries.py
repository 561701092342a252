"""Random-program operations on orbits, islets, sub-orbits, extraction, geometry arrays and rule
results."""

import gorvinpy_bin as gorvin
from gmap_model import NO_LINK, Refused, index_error, refuse
from program_base import Mismatch
from rule_model import dims_text


class QueryOps:
    # Orbits, islets, sub-orbits and extraction

    def op_orbit(self):
        g = self.gmap()
        real, model = g
        dims, start = self.dims(), self.dart(g)
        orbit = gorvin.Orbit(dims)
        choice = self.rng.randrange(5)
        if choice == 0:
            how = self.rng.choice([lambda: orbit(real, start), lambda: gorvin.orbit(real, orbit, start)])
            self.expect(how, lambda: model.orbit(dims, start))
        elif choice == 1:
            sub = self.dims()
            how = self.rng.choice([lambda: orbit.sub(sub, real, start), lambda: gorvin.sorbit(dims, sub, real, start)])
            self.expect(how, lambda: model.sub_orbit(dims, sub, start))
        elif choice == 2 and self.handles:
            h, mh = self.pick(self.handles)
            sub = self.dims()
            how = self.rng.choice([lambda: orbit.sub(sub, h), lambda: gorvin.sorbit(dims, sub, h)])
            self.expect(how, lambda: [mh.with_id(x) for x in sorted(mh.gmap().sub_orbit(dims, sub, mh.dartid))],
                        self.same_handles)
            self.expect(lambda: gorvin.orbit(orbit, h), lambda: mh.gmap().orbit(dims, mh.dartid))
        elif choice == 3:
            islet = gorvin.Islet(dims)
            seeds = None
            if self.rng.random() >= 0.5:
                seeds = [self.dart(g) for _ in range(self.rng.randrange(model.size() + 2))]
            if seeds is None:
                how = self.rng.choice([lambda: islet(real), lambda: gorvin.islet(orbit, real)])
            else:
                how = self.rng.choice([lambda: islet(real, seeds), lambda: gorvin.islet(real, orbit, seeds)])
            self.expect(how, lambda: model.islet(dims, seeds))
        else:
            i = self.rng.randrange(len(dims) + 2)
            self.expect(lambda: (len(orbit), str(orbit), list(orbit), orbit == gorvin.Orbit(list(dims)), i in orbit,
                                 orbit.contains(i), str(gorvin.Islet(dims))),
                        lambda: (len(dims), dims_text(dims), dims, True, i in dims, i in dims,
                                 dims_text(dims, "islet<")))
            self.expect(lambda: orbit[i], lambda: dims[i] if i < len(dims) else refuse(index_error()))

    def op_extraction(self):
        real, model = self.gmap()
        self.expect(lambda: (real.extractFaces2D(), real.extractFaces3D(), real.extractGeometryCompacted3D()),
                    model.extraction)

    # Geometry arrays and rule results

    def op_geometry(self):
        import numpy as np

        n = self.rng.randrange(4)
        widths = {"positions": 3, "normals": 3, "texcoords": 2, "colors": 4}
        arrays = {k: np.zeros((n, w), np.float32) for k, w in widths.items()}
        arrays["orient"] = np.zeros(n, bool)
        expected = f"GeometryCommon(vertex_count={n}, "
        fault = self.rng.randrange(6)
        if fault == 1:
            arrays["normals"] = np.zeros((n, 4), np.float32)
            expected = Refused(RuntimeError, "Normals array must be of shape (n, 3) and dtype float32")
        elif fault == 2:
            arrays["colors"] = np.zeros((n + 1, 4), np.float32)
            expected = Refused(RuntimeError, "All geometry arrays must share the same vertex count n")
        elif fault == 3:
            del arrays["texcoords"]
            expected = Refused(KeyError)
        elif fault == 4:
            arrays["positions"] = np.zeros((n, 3))
            expected = Refused(TypeError)

        def predict():
            if isinstance(expected, Refused):
                raise expected
            return expected

        self.expect(lambda: str(gorvin.GeometryCommon(gorvin.GeometryCommon(arrays))), predict,
                    lambda r, m: r.startswith(m) or refuse(Mismatch(r)))

    def op_rule_result(self):
        cols, rows = self.rng.randrange(4), self.rng.randrange(4)
        c, r = self.rng.randrange(5), self.rng.randrange(5)
        result = gorvin.RuleResult(cols, rows)
        self.expect(lambda: (str(result), result.sizeCol(), result.sizeRow()),
                    lambda: (f"RuleResult<cols={rows};rows={cols}>", rows, cols))
        self.expect(lambda: result(c, r), lambda: NO_LINK if c < cols and r < rows else refuse(index_error()))
