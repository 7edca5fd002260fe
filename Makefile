# The commands a user types. Everything builds under build/:
#   build/native   Linux tree: core, saverpack, unit tests, Wine test entries
#   build/win32    i686-w64-mingw32 tree: install.exe, impborl.dll, saverpack.exe, Win32 tests
#   build/dist     the artifacts
#   build/release  optimised tree without sanitizers: the Linux saverpack and the benchmarks
SHELL := /bin/bash
JOBS ?= $(shell nproc)
DIST := build/dist
BOOTSTRAP_STAMP := build/.bootstrap-done
DEMO_BOOTSTRAP_STAMP := build/.bootstrap-demo-done

# What the demo runs, and nothing more: from the win32 tree the installer, the
# codec library, the demo saver with its engines and the stand-ins of its Wine
# machine (player control, Display Properties, UI driver); from the release
# tree the Linux saverpack. No native test tree, no sanitizers, no tests.
DEMO_WIN32_TARGETS := ssi_install impborl demo_saver demo_engine1 demo_engine2 player7 display_panel uidriver

CONFIGURE_NATIVE = @[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
CONFIGURE_WIN32 = @[ -f build/win32/build.ninja ] || cmake --preset win32 >/dev/null
CONFIGURE_RELEASE = @[ -f build/release/build.ninja ] || \
	cmake --preset native -B build/release -DSSI_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null

.PHONY: all native win32 release dist test demo demo-programs bench fuzz fuzz-campaign bootstrap clean

all: dist

# The whole bootstrap also stands for the demo's part of it.
$(BOOTSTRAP_STAMP): scripts/bootstrap
	scripts/bootstrap
	@mkdir -p build && touch $@ $(DEMO_BOOTSTRAP_STAMP)

$(DEMO_BOOTSTRAP_STAMP): scripts/bootstrap
	scripts/bootstrap --demo
	@mkdir -p build && touch $@

bootstrap:
	scripts/bootstrap
	@mkdir -p build && touch $(BOOTSTRAP_STAMP) $(DEMO_BOOTSTRAP_STAMP)

native: $(BOOTSTRAP_STAMP)
	$(CONFIGURE_NATIVE)
	cmake --build build/native -j $(JOBS)

win32: $(BOOTSTRAP_STAMP)
	$(CONFIGURE_WIN32)
	cmake --build build/win32 -j $(JOBS)

release: $(BOOTSTRAP_STAMP)
	$(CONFIGURE_RELEASE)
	cmake --build build/release -j $(JOBS) --target saverpack

dist: native win32 release
	@mkdir -p $(DIST)
	cp build/win32/bin/install.exe build/win32/bin/impborl.dll build/win32/bin/saverpack.exe $(DIST)/
	install -s build/release/tools/saverpack/saverpack $(DIST)/
	@scripts/print-artifacts $(DIST)

test: dist
	ctest --test-dir build/native --output-on-failure -j 2
	scripts/fuzz 10

demo-programs: $(DEMO_BOOTSTRAP_STAMP)
	$(CONFIGURE_WIN32)
	cmake --build build/win32 -j $(JOBS) --target $(DEMO_WIN32_TARGETS)
	$(CONFIGURE_RELEASE)
	cmake --build build/release -j $(JOBS) --target saverpack

demo: demo-programs
	scripts/demo build/win32/bin build/release/tools/saverpack/saverpack

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
