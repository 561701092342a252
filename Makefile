.PHONY: example test test-sanitized venv

venv:
	bash scripts/venv.sh

example: venv
	.venv/bin/python examples/main.py

test: venv
	bash scripts/test-support.sh
	PYTHONPATH=build/test-support .venv/bin/python -m pytest -q

test-sanitized: venv
	bash scripts/test-sanitized.sh
