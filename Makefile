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
        run-windows bench fuzz test-asan screenshots clean install package test-packages \
        format-check

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
	$(MAKE) format-check test-native test-windows test-packages test-asan
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
screenshots: app windows
	@$(DEPS) wine xvfb screenshots
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
