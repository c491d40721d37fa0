# Thin entry points; the scripts do the work.
.PHONY: test demo bench
test:
	scripts/test
demo:
	scripts/demo
bench:
	scripts/bench
