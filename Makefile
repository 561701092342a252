.PHONY: example test test-sanitized venv bench bench-batch bench-meshes bench-html bench-schemes

venv:
	bash scripts/venv.sh

example: venv
	.venv/bin/python examples/main.py

# The tests also use two Debian packages, installed when missing (as root): ccache and geomview,
# and refined_elephant.off from the data of a third, libcgal-demo (scripts/mesh-data.sh).
test:
	bash scripts/system-packages.sh
	bash scripts/mesh-data.sh
	bash scripts/venv.sh
	bash scripts/test-support.sh
	.venv/bin/ctest --test-dir build/test-support --output-on-failure
	PYTHONPATH=build/test-support .venv/bin/python -m pytest -q

test-sanitized:
	bash scripts/system-packages.sh
	bash scripts/mesh-data.sh
	bash scripts/venv.sh
	bash scripts/test-sanitized.sh

# Not part of the tests: installs the peer library (apt-get, root) and runs the benchmarks.
bench:
	bash scripts/bench.sh $(BENCH_ARGS)

# Rule-library operations with positions: batch, per-row and the bare engine (installs libcgal-demo).
bench-batch:
	bash scripts/bench-batch.sh $(BENCH_ARGS)

# Whole mesh files through gorvinpy against trimesh; fetches the public mesh (apt-get, root).
bench-schemes:
	bash scripts/mesh-data.sh
	bash scripts/venv.sh
	cd bench && ../.venv/bin/python subdivision_schemes.py $(BENCH_ARGS)

bench-meshes: venv
	bash scripts/mesh-data.sh
	.venv/bin/python bench/mesh_files.py $(BENCH_ARGS)

# trimesh, meshio and PyVista objects in and out, beside trimesh's load of the same files (apt-get, root).
.PHONY: bench-objects
bench-objects: venv
	bash scripts/mesh-data.sh
	.venv/bin/python bench/mesh_objects.py $(BENCH_ARGS)

# The HTML page of about a million darts in headless Chromium (needs Debian's chromium).
bench-html: venv
	bash scripts/system-packages.sh
	.venv/bin/python bench/html_view.py $(BENCH_ARGS)
