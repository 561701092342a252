.PHONY: example test test-sanitized venv bench bench-meshes

venv:
	bash scripts/venv.sh

example: venv
	.venv/bin/python examples/main.py

test: venv
	bash scripts/test-support.sh
	PYTHONPATH=build/test-support .venv/bin/python -m pytest -q

test-sanitized: venv
	bash scripts/test-sanitized.sh

# Not part of the tests: installs the peer library (apt-get, root) and runs the benchmarks.
bench:
	bash scripts/bench.sh $(BENCH_ARGS)

# Whole mesh files through gorvinpy against trimesh; fetches the public mesh (apt-get, root).
bench-meshes: venv
	bash scripts/mesh-data.sh
	.venv/bin/python bench/mesh_files.py $(BENCH_ARGS)
