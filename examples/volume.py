"""Meshes a solid cylinder into tetrahedra with gmsh, turns the mesh into a G-map, grows a new volume
on one boundary face and cuts every volume into smaller tetrahedra, checks the result, and writes a
volume file (.vtu), a PNG picture and an HTML page to an output folder (default: out/).

    python examples/volume.py [output-folder]

Needs the gmsh wheel (pip install gmsh) and matplotlib for the picture.
"""

import sys
from pathlib import Path

import gmsh

import gorvinpy


def mesh_cylinder(path, size=0.6):
    """A tetrahedral mesh of a solid cylinder (radius 1, height 2), cells at most `size` across."""
    gmsh.initialize(["-noenv"])
    try:
        gmsh.option.setNumber("General.Terminal", 0)
        gmsh.model.add("cylinder")
        gmsh.model.occ.addCylinder(0, 0, 0, 0, 0, 2, 1)
        gmsh.model.occ.synchronize()
        gmsh.option.setNumber("Mesh.MeshSizeMax", size)
        gmsh.model.mesh.generate(3)
        gmsh.write(str(path))
    finally:
        gmsh.finalize()


def report(step, gmap):
    c = gorvinpy.cell_counts(gmap)
    print(
        f"{step:<13} darts {gmap.size():6}  vertices {c.vertices:5}  edges {c.edges:5}  faces {c.faces:5}  "
        f"volumes {c.volumes:5}  V-E+F-C {c.vertices - c.edges + c.faces - c.volumes}"
    )


def boundary_dart(gmap):
    """The first dart free along alpha3: it lies on a face of the boundary."""
    return next(d for d in range(gmap.size()) if gmap.exists(d) and gmap.alpha(d, 3).id == d)


def main(output):
    output.mkdir(parents=True, exist_ok=True)
    msh = output / "cylinder.msh"
    mesh_cylinder(msh)
    gmap = gorvinpy.import_mesh(msh)
    report("meshed", gmap)
    gmap.apply(gorvinpy.extrude_volume((0.0, 0.0, -0.5)), [boundary_dart(gmap)])
    report("extruded", gmap)
    gmap.apply(gorvinpy.tetrahedralize(), [0])
    report("cut", gmap)
    faults = gorvinpy.check_gmap(gmap)
    print("G-map conditions:", "all hold" if not faults else f"{len(faults)} faults, first: {faults[0]}")

    vtu = output / "cylinder.vtu"
    written = gorvinpy.export_mesh(gmap, vtu)
    print(f"wrote {vtu}: {', '.join(f'{len(b.data)} {b.type}' for b in written.cells)}")
    png = output / "cylinder.png"
    gorvinpy.render_png(gmap, png, title="cylinder, one face extruded, cut into tetrahedra")
    print(f"wrote {png}")
    html = output / "cylinder.html"
    gorvinpy.export_html(gmap, html, title="cylinder")
    print(f"wrote {html}")


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path("out"))
