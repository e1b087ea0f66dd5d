# Entry points for a fresh machine: every target installs what it needs first.
.PHONY: deps format build build-asan build-fuzz test test-debian13 programs demo run screenshot bench fuzz install
.PHONY: package clean web web-demo

JOBS ?= $(shell nproc)

deps:
	./scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

test: build build-asan build-fuzz web
	./scripts/check-format
	ctest --preset default -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)

# The check before a release: make test on a fresh clone of the current commit in a Debian 13
# tree, made once with debootstrap under build/debian13/ and kept. Needs root and debootstrap.
test-debian13:
	./scripts/test-debian13

# The two programs and what `make install` installs, with only the packages building them needs:
# no tests, benchmarks or fuzz targets. A build/ that `make build` configured is reused as it is.
programs:
	./scripts/install-deps --build
	[ -f build/CMakeCache.txt ] || cmake --preset run
	cmake --build build --target installable -j $(JOBS)

# The application for a real sampler.
run: programs
	build/Veltrin.app/Contents/MacOS/Veltrin

# The application against the simulated sampler, with a generated demo OS image built in.
demo: programs
	build/demo/Veltrin.app/Contents/MacOS/Veltrin

# The README's picture of the window: the demo window on a virtual X display, as its test takes it.
# The bundle is copied to a neutral folder first: the log in the picture shows the image's path.
SHOT_DIR = /tmp/veltrin-screenshot
screenshot: programs
	./scripts/install-deps
	rm -rf $(SHOT_DIR) && mkdir -p $(SHOT_DIR) && cp -a build/demo/Veltrin.app $(SHOT_DIR)/
	app/tests/screenshot/window_screenshot.sh $(SHOT_DIR)/Veltrin.app/Contents/MacOS/Veltrin \
	  docs/screenshot.png en
	rm -rf $(SHOT_DIR)

# The page in the browser (build/web/, and its tarball in build/): the tool's core as WebAssembly,
# built with Debian's emscripten in a configure of its own.
web: deps
	emcmake cmake -S web -B build/web-wasm -G Ninja
	cmake --build build/web-wasm -j $(JOBS)

# The page served on this machine only; localhost is a secure context, as WebUSB needs.
WEB_PORT ?= 8040
web-demo: web
	@echo "Veltrin in the browser: http://127.0.0.1:$(WEB_PORT)/ (the demo: http://127.0.0.1:$(WEB_PORT)/?demo)"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory build/web

# Benchmarks of the tool's own cost and of the application's handling of tool output.
# The last compares the page's WebAssembly core with the native tool.
bench: build web
	@for b in build/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done
	/usr/bin/python3 bench/web_demo_install.py build

# Fuzz targets: a short smoke run of each is part of `make test`; this runs each for longer.
FUZZ_SECONDS ?= 120
build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz: build-fuzz
	@for t in build-fuzz/fuzz/*; do \
	  [ -f "$$t" ] && [ -x "$$t" ] || continue; \
	  name=$$(basename $$t); mkdir -p build-fuzz/fuzz/$$name-corpus; \
	  echo "== $$name"; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -artifact_prefix=build-fuzz/fuzz/$$name- \
	    build-fuzz/fuzz/$$name-corpus fuzz/corpus/$$name || exit 1; \
	done

# Rewrites the C++ files the way the format check in `make test` wants them.
format:
	./scripts/check-format --fix

# Installs Veltrin from an existing build (`make run` or `make build`, as the user): the bundle
# under $(PREFIX)/lib/veltrin, bin/veltrin and bin/vtflash, the menu entry, icons, man pages and
# udev rule. DESTDIR=... stages it elsewhere. It builds nothing and installs no packages: run as
# root, it must not run the dependency script or CMake's configure in the user's tree.
PREFIX ?= /usr/local
install:
	@[ -f build/cmake_install.cmake ] || \
	  { echo "Nothing to install: build first with make run or make build (without sudo)." >&2; exit 1; }
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

# The Debian package of this build, in build/package/.
package: build
	cd build && cpack -G DEB

clean:
	rm -rf --one-file-system build build-asan build-fuzz
