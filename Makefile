# The commands a user types. Everything builds under build/:
#   build/native   Linux tree: core, saverpack, unit tests, Wine test entries
#   build/win32    i686-w64-mingw32 tree: install.exe, impborl.dll, saverpack.exe, Win32 tests
#   build/dist     the artifacts
#   build/release  optimised tree without sanitizers: the Linux saverpack and the benchmarks
SHELL := /bin/bash
JOBS ?= $(shell nproc)
DIST := build/dist
BOOTSTRAP_STAMP := build/.bootstrap-done

.PHONY: all native win32 release dist test demo bench fuzz fuzz-campaign bootstrap clean

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

release: $(BOOTSTRAP_STAMP)
	@[ -f build/release/build.ninja ] || cmake --preset native -B build/release -DSSI_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build/release -j $(JOBS) --target saverpack

dist: native win32 release
	@mkdir -p $(DIST)
	cp build/win32/bin/install.exe build/win32/bin/impborl.dll build/win32/bin/saverpack.exe $(DIST)/
	install -s build/release/tools/saverpack/saverpack $(DIST)/
	@scripts/print-artifacts $(DIST)

test: dist
	ctest --test-dir build/native --output-on-failure -j 2
	scripts/fuzz 10

demo: dist
	scripts/demo

# The codec against its peer, what the program image costs (bytes by section
# and by library against the fixed package offset), then a quiet installation
# against an NSIS installer of the same files under Wine.
bench: dist
	cmake --build build/release -j $(JOBS) --target bench_codec
	build/release/tests/bench/bench_codec
	scripts/image-report build/win32/bin/install.exe build/win32/install.map
	scripts/bench-install --size 2 --size 20 --size 200

fuzz: $(BOOTSTRAP_STAMP)
	scripts/fuzz 60

# The long run, for an idle machine: each target up to 10,000,000 inputs or an
# hour, one process at a time; the closing table is kept in build/fuzz/.
fuzz-campaign: $(BOOTSTRAP_STAMP)
	scripts/fuzz --campaign

clean:
	rm -rf build/native build/win32 build/release build/dist build/fuzz build/wine build/demo build/bench-install
