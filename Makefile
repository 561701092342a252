.PHONY: example test venv

venv:
	bash scripts/venv.sh

example: venv
	.venv/bin/python examples/main.py

test: venv
	.venv/bin/python -m pytest -q
