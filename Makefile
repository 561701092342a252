.PHONY: example test test-sanitized venv bench bench-batch

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

# Rule-library operations with positions: batch, per-row and the bare engine (installs libcgal-demo).
bench-batch:
	bash scripts/bench-batch.sh $(BENCH_ARGS)
