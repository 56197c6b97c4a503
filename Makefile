# Shortcuts for scripts/setup, which does all of the work (and needs no make).
.PHONY: run test bench
run:
	scripts/setup run
test:
	scripts/setup test
bench:
	scripts/setup bench
