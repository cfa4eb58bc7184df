# The two commands for a fresh Debian machine: `make run` and `make test`.
# Each command installs the package sets it needs (tools/install-deps) and
# configures its tree with every option spelled out, so a tree configured by
# one command is right for the next.
SHELL := /bin/bash
BUILD := build
NATIVE := $(BUILD)/linux
WINDOWS := $(BUILD)/win32
JOBS ?= $(shell nproc)
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"
DEPS := tools/install-deps
CTEST := ctest --output-on-failure --no-tests=error
# Each suite runs with a stand-in home folder and fails if it writes there:
# the tests keep their per-user files in homes of their own (tools/own-home).
HOME_CHECK := tools/home-unchanged
PACKAGE := $(BUILD)/package
PREFIX ?= /usr/local
# X.Y.Z from project() in CMakeLists.txt, the one place the version is set.
RELEASE := $(shell sed -n 's/^project.Velkrane VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)

.PHONY: all deps app native windows windows-all test test-native test-windows run \
        run-windows bench fuzz test-asan test-tsan screenshots clean install package test-packages \
        format-check web test-web web-modules bench-web

all: native windows

# Everything any command here needs.
deps:
	@$(DEPS) test screenshots

# The Linux program alone.
app:
	@$(DEPS) run
	cmake -S . -B $(NATIVE) -DVELKRANE_TESTS=OFF -DVELKRANE_BENCH=OFF >/dev/null
	cmake --build $(NATIVE) -j $(JOBS) --target velkrane

# The Linux program with its tests and benchmarks.
native:
	@$(DEPS) run gtest bench
	cmake -S . -B $(NATIVE) -DVELKRANE_TESTS=ON -DVELKRANE_BENCH=ON >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

# The shipped 32-bit Windows programs, dist/Velkrane.exe and dist/velkrane-cli.exe,
# and what users install them from: the installer and the portable zip.
windows:
	@$(DEPS) windows
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DVELKRANE_TESTS=OFF >/dev/null
	cmake --build $(WINDOWS) -j $(JOBS) --target Velkrane velkrane-cli velkrane_packages
	mkdir -p dist && cp $(WINDOWS)/ui/win32/Velkrane.exe $(WINDOWS)/ui/cli/velkrane-cli.exe \
	  $(WINDOWS)/packages/* dist/

# The Linux programs, desktop entry, icons, man pages and documents under
# PREFIX (and DESTDIR, for staging).
install: app
	cmake --build $(NATIVE) -j $(JOBS) --target velkrane-cli
	DESTDIR="$(DESTDIR)" cmake --install $(NATIVE) --prefix "$(PREFIX)" --strip

# dist/velkrane_$(RELEASE)_amd64.deb, from a Release tree of its own built
# with Debian's hardening flags.
BUILDFLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package:
	@$(DEPS) run package
	cmake -S . -B $(PACKAGE) -DCMAKE_BUILD_TYPE=Release -DVELKRANE_TESTS=OFF \
	  -DVELKRANE_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)" >/dev/null
	cmake --build $(PACKAGE) -j $(JOBS)
	rm -rf $(PACKAGE)/packages
	cd $(PACKAGE) && cpack -B packages >/dev/null
	mkdir -p dist && cp $(PACKAGE)/packages/*.deb dist/

# The same tree with the Windows test programs.
windows-all:
	@$(DEPS) windows gtest
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DVELKRANE_TESTS=ON >/dev/null
	cmake --build $(WINDOWS) -j $(JOBS)

test:
	@$(DEPS) test
	$(MAKE) format-check test-native test-windows test-packages test-asan test-tsan test-web
	$(MAKE) fuzz FUZZ_SECONDS=20
	@echo "make test passed. $$(cat $(BUILD)/windows-tested)."

test-native: native
	@$(DEPS) xvfb checks cards
	$(HOME_CHECK) $(XVFB) $(CTEST) --test-dir $(NATIVE)

# Under Wine: the 32-bit build, or the 64-bit one where the kernel cannot run
# 32-bit programs (tools/wine-env.sh; VELKRANE_WINE64=1 forces it).
test-windows: windows-all
	@$(DEPS) wine xvfb
	JOBS=$(JOBS) $(HOME_CHECK) tools/windows-tests $(BUILD)

# Each package installed and removed again: the .deb on this machine (as
# root), the installer and the zip under Wine.
test-packages: package windows
	@$(DEPS) package-checks xvfb wine
	$(HOME_CHECK) $(XVFB) tools/test-deb dist/velkrane_$(RELEASE)_amd64.deb
	$(HOME_CHECK) $(XVFB) tools/test-windows-packages $(BUILD) $(RELEASE)

# The page, dist/web/velkrane.html: the core (the same sources as the desktop
# programs) compiled by Debian's Emscripten into a module its Worker loads,
# and the front end in ui/web/, all in one file. Debian's Emscripten runs its
# tools with the node on PATH, which finds Debian's JavaScript packages only
# through NODE_PATH where it is not Debian's own build.
WEB := $(BUILD)/web
EMXX := NODE_PATH=/usr/share/nodejs em++
WEB_CORE := fileio/file_io.cpp fileio/file_io_posix.cpp fileio/path_parts.cpp \
  fileio/text.cpp x3f/cut_decision.cpp x3f/end_search.cpp x3f/signature_filter.cpp \
  x3f/x3f_structure.cpp x3f/repair.cpp batch/run_texts.cpp batch/folder_walk.cpp \
  batch/output_names.cpp ui/shared/list_outcomes.cpp ui/shared/main_form_texts.cpp ui/web/velkrane_web.cpp
WEB_FLAGS := -std=c++17 -O3 -msimd128 -fexceptions -Wall -Wextra -Werror -I.
WEB_LINK := --bind -sENVIRONMENT=worker -sMODULARIZE=1 -sEXPORT_NAME=VelkraneCore \
  -sALLOW_MEMORY_GROWTH=1 -sDYNAMIC_EXECUTION=0 -sFILESYSTEM=0
web: dist/web/velkrane.html
$(WEB)/velkrane_core.js: $(WEB_CORE) $(wildcard fileio/*.h x3f/*.h batch/*.h ui/shared/*.h)
	@$(DEPS) web
	mkdir -p $(WEB)
	$(EMXX) $(WEB_FLAGS) $(WEB_CORE) $(WEB_LINK) -o $@
dist/web/velkrane.html: $(WEB)/velkrane_core.js $(wildcard ui/web/*)
	mkdir -p dist/web
	node ui/web/assemble.mjs $(WEB)/velkrane_core.js $(WEB)/velkrane_core.wasm \
	  ui/fltk/desktop/icons/hicolor/32x32/apps/velkrane.png $@

# The page in headless Chromium (Debian's), driven by playwright-core at the
# version tests/web/package-lock.json pins; it never downloads a browser. The
# copies are compared with velkrane-cli's.
test-web: web
	@$(DEPS) web web-checks run gtest bench
	cmake -S . -B $(NATIVE) -DVELKRANE_TESTS=ON -DVELKRANE_BENCH=ON >/dev/null
	cmake --build $(NATIVE) -j $(JOBS) --target velkrane-cli
	$(MAKE) web-modules
	VELKRANE_CLI=$(NATIVE)/ui/cli/velkrane-cli $(HOME_CHECK) tools/own-home \
	  node --test tests/web/page.test.mjs

# playwright-core as tests/web/package-lock.json pins it; npm's cache stays
# in the build tree, out of the home folder.
web-modules: tests/web/node_modules/.package-lock.json
tests/web/node_modules/.package-lock.json: tests/web/package-lock.json
	@$(DEPS) web-checks
	cd tests/web && npm_config_cache=$(CURDIR)/$(BUILD)/npm-cache \
	  npm ci --ignore-scripts --no-audit --no-fund --loglevel=error

# The cut decision in the page's Worker against the native one, on the same
# files (bench/web_cut.mjs).
bench-web: web web-modules
	@$(DEPS) run bench
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DVELKRANE_TESTS=OFF \
	  -DVELKRANE_BENCH=ON >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS) --target velkrane_cut_time velkrane-cli
	tools/own-home node bench/web_cut.mjs $(BUILD)/release/bench/velkrane_cut_time \
	  $(BUILD)/release/ui/cli/velkrane-cli

run: app
	$(NATIVE)/ui/fltk/velkrane

run-windows: windows
	@$(DEPS) wine
	JOBS=$(JOBS) tools/run-windows $(BUILD)

# Screenshots of both windows for the README (under Xvfb): the Linux window
# also with names in several scripts, the Windows one also at 150 %, and each
# after a run over tools/sample-card's files.
SCRIPT_NAMES := "/home/ana/写真/写真0003.X3F" "/home/ana/写真/🌅 日の出 0004.X3F" \
  "/home/ana/Photos/⛵ Åre 0005.X3F" "/home/ana/Фото/Снимок 0006.X3F" \
  "/home/ana/사진/사진 0007.X3F" "/home/ana/Photos/IMG_0008.X3F"
screenshots: app windows web web-modules
	@$(DEPS) wine xvfb screenshots
	tools/own-home node tools/screenshot-web.mjs docs/velkrane-web-run.png
	tools/screenshot-linux $(NATIVE) docs/velkrane-linux.png
	tools/screenshot-linux $(NATIVE) docs/velkrane-linux-scripts.png $(SCRIPT_NAMES)
	tools/screenshot-windows $(BUILD) docs/velkrane-windows.png
	tools/screenshot-windows $(BUILD) docs/velkrane-windows-150.png 144
	tools/screenshot-linux $(NATIVE) docs/velkrane-linux-run.png --run
	tools/screenshot-windows $(BUILD) docs/velkrane-windows-run.png 96 --run
	tools/screenshot-windows $(BUILD) docs/velkrane-windows-run-150.png 144 --run

# Benchmarks in a Release tree of their own; a table here, JSON to build/bench.json;
# then what cutting at the directory costs over the plain rule.
bench:
	@$(DEPS) run bench
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DVELKRANE_TESTS=OFF \
	  -DVELKRANE_BENCH=ON >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS) --target velkrane_bench velkrane_structure_cost \
	  velkrane_recover_bench
	$(BUILD)/release/bench/velkrane_bench --benchmark_out=$(BUILD)/bench.json \
	  --benchmark_out_format=json $(BENCH_ARGS)
	$(BUILD)/release/bench/velkrane_structure_cost
	$(BUILD)/release/bench/velkrane_recover_bench

# The native suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@$(DEPS) run gtest xvfb checks cards
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DVELKRANE_SANITIZE=ON \
	  -DVELKRANE_TESTS=ON -DVELKRANE_BENCH=OFF >/dev/null
	cmake --build $(BUILD)/asan -j $(JOBS)
	$(HOME_CHECK) $(XVFB) $(CTEST) --test-dir $(BUILD)/asan

# The core and command-line suites under ThreadSanitizer, where the run's,
# the preparing and the committing threads meet (batch/commit_scheduler.h).
# setarch -R: GCC 12's ThreadSanitizer cannot place its shadow memory where
# a kernel randomizes addresses more widely (vm.mmap_rnd_bits above 28).
test-tsan:
	@$(DEPS) run gtest checks cards
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DVELKRANE_TSAN=ON \
	  -DVELKRANE_TESTS=ON -DVELKRANE_BENCH=OFF >/dev/null
	cmake --build $(BUILD)/tsan -j $(JOBS) --target velkrane_tests velkrane_cli_tests
	TSAN_OPTIONS=halt_on_error=1 $(HOME_CHECK) setarch -R $(CTEST) \
	  --test-dir $(BUILD)/tsan -R '^(core|cli)$$'

# Each fuzz target for FUZZ_SECONDS seconds: the tail search against the plain
# rule, and the X3F structure check and structural end against their
# definition.
FUZZ_SECONDS ?= 60
FUZZERS := tail_search_fuzzer:corpus x3f_structure_fuzzer:x3f_corpus
fuzz:
	@$(DEPS) fuzz
	CXX=clang++ cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKRANE_FUZZ=ON >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target $(foreach f,$(FUZZERS),$(word 1,$(subst :, ,$(f))))
	set -e; for pair in $(FUZZERS); do \
	  fuzzer=$${pair%%:*}; seeds=$${pair#*:}; \
	  mkdir -p $(BUILD)/fuzz/$$seeds; \
	  $(BUILD)/fuzz/tests/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -print_final_stats=1 -artifact_prefix=$(BUILD)/fuzz/$$fuzzer- \
	    $(BUILD)/fuzz/$$seeds tests/fuzz/$$seeds; \
	done

# Every tracked C++ file, tests included, against .clang-format; it changes
# nothing and fails on the first file that differs.
format-check:
	@$(DEPS) format
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) dist
