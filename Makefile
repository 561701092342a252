.PHONY: example test test-sanitized venv bench

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
