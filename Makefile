# Entry points for a fresh machine: every target installs what it needs first.
.PHONY: deps build build-asan test demo run bench fuzz clean

JOBS ?= $(shell nproc)

deps:
	./scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

test: build build-asan
	ctest --preset default -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Benchmarks of the tool's own cost and of the application's handling of tool output.
bench: build
	@for b in build/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

clean:
	rm -rf build build-asan
