# The two commands of the README.
.PHONY: test run deps
test:
	bash scripts/test.sh
run:
	bash scripts/run.sh
deps:
	bash scripts/install-deps.sh
