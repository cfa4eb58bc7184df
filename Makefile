# The two commands for a fresh Debian machine: `make run` and `make test`.
SHELL := /bin/bash
BUILD := build
NATIVE := $(BUILD)/linux
WINDOWS := $(BUILD)/win32
JOBS ?= $(shell nproc)
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all deps native windows test test-native test-windows run run-windows \
        bench fuzz test-asan screenshots clean

all: native windows

deps:
	@tools/install-deps

native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

# The shipped 32-bit Windows program: dist/Velkrane.exe.
windows: deps
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WINDOWS) -j $(JOBS)
	@if [ -f $(WINDOWS)/ui/win32/Velkrane.exe ]; then \
	  mkdir -p dist && cp $(WINDOWS)/ui/win32/Velkrane.exe dist/; fi
	@mkdir -p dist && cp $(WINDOWS)/ui/cli/velkrane-cli.exe dist/

test: native windows
	$(MAKE) test-native test-windows test-asan fuzz FUZZ_SECONDS=20

test-native:
	$(XVFB) ctest --test-dir $(NATIVE) --output-on-failure

test-windows:
	JOBS=$(JOBS) tools/windows-tests $(BUILD)

run: native
	@if [ -x $(NATIVE)/ui/fltk/velkrane ]; then $(NATIVE)/ui/fltk/velkrane; \
	else echo "The Linux window is not built yet."; exit 1; fi

run-windows: windows
	tools/run-windows $(BUILD)

# Screenshots of both windows for the README (under Xvfb).
screenshots: native windows
	tools/screenshot-linux $(NATIVE) docs/velkrane-linux.png
	tools/screenshot-windows $(BUILD) docs/velkrane-windows.png

# Benchmarks in a Release tree of their own; a table here, JSON to build/bench.json;
# then what cutting at the directory costs over the plain rule.
bench: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DVELKRANE_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS) --target velkrane_bench velkrane_structure_cost
	$(BUILD)/release/bench/velkrane_bench --benchmark_out=$(BUILD)/bench.json \
	  --benchmark_out_format=json $(BENCH_ARGS)
	$(BUILD)/release/bench/velkrane_structure_cost

# The native suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DVELKRANE_SANITIZE=ON >/dev/null
	cmake --build $(BUILD)/asan -j $(JOBS)
	$(XVFB) ctest --test-dir $(BUILD)/asan --output-on-failure

# Each fuzz target for FUZZ_SECONDS seconds: the tail search against the plain
# rule, and the X3F structure check and structural end against their
# definition.
FUZZ_SECONDS ?= 60
FUZZERS := tail_search_fuzzer:corpus x3f_structure_fuzzer:x3f_corpus
fuzz: deps
	CXX=clang++ cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKRANE_FUZZ=ON >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target $(foreach f,$(FUZZERS),$(word 1,$(subst :, ,$(f))))
	set -e; for pair in $(FUZZERS); do \
	  fuzzer=$${pair%%:*}; seeds=$${pair#*:}; \
	  mkdir -p $(BUILD)/fuzz/$$seeds; \
	  $(BUILD)/fuzz/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -print_final_stats=1 -artifact_prefix=$(BUILD)/fuzz/$$fuzzer- \
	    $(BUILD)/fuzz/$$seeds tests/fuzz/$$seeds; \
	done

clean:
	rm -rf $(BUILD) dist
