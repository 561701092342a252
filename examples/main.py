"""Builds a square face dart by dart, links it and prints its darts and the G-map."""
import gorvinpy_bin as gorvin

modeler = gorvin.Modeler3D()
gmap = modeler.make_gmap()
darts = gmap.make_darts(8)
for i in range(0, 8, 2):
    gmap.linkAlpha(0, i, i + 1)  # the four edges
    gmap.linkAlpha(1, i + 1, (i + 2) % 8)  # the four corners

for dart in gmap:
    print(dart, "alpha0 ->", dart.alpha(0).id, "alpha1 ->", dart.alpha(1).id)
print(gmap)
print(modeler)
