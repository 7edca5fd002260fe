# The commands a user types. Everything builds under build/:
#   build/native   Linux tree: core, saverpack, unit tests, Wine test entries
#   build/win32    i686-w64-mingw32 tree: install.exe, impborl.dll, saverpack.exe, Win32 tests
#   build/dist     the artifacts
#   build/bench    optimised tree without sanitizers, for figures
SHELL := /bin/bash
JOBS ?= $(shell nproc)
DIST := build/dist
BOOTSTRAP_STAMP := build/.bootstrap-done

.PHONY: all native win32 dist test demo bench fuzz bootstrap clean

all: dist

$(BOOTSTRAP_STAMP): scripts/bootstrap
	scripts/bootstrap
	@mkdir -p build && touch $@

bootstrap:
	scripts/bootstrap
	@mkdir -p build && touch $(BOOTSTRAP_STAMP)

native: $(BOOTSTRAP_STAMP)
	@[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
	cmake --build build/native -j $(JOBS)

win32: $(BOOTSTRAP_STAMP)
	@[ -f build/win32/build.ninja ] || cmake --preset win32 >/dev/null
	cmake --build build/win32 -j $(JOBS)

dist: native win32
	@mkdir -p $(DIST)
	cp build/win32/bin/install.exe build/win32/bin/impborl.dll build/win32/bin/saverpack.exe $(DIST)/
	cp build/native/tools/saverpack/saverpack $(DIST)/
	@scripts/print-artifacts $(DIST)

test: dist
	ctest --test-dir build/native --output-on-failure -j 2
	scripts/fuzz 10

demo: dist
	scripts/demo

bench: $(BOOTSTRAP_STAMP)
	@[ -f build/bench/build.ninja ] || cmake --preset native -B build/bench -DSSI_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build/bench -j $(JOBS) --target bench_codec
	build/bench/tests/bench/bench_codec

fuzz: $(BOOTSTRAP_STAMP)
	scripts/fuzz 60

clean:
	rm -rf build/native build/win32 build/dist build/bench build/fuzz build/wine build/demo
