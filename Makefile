SHELL := /bin/bash
# Thin wrapper over CMake. Every target installs what is missing first, so a
# fresh machine needs nothing but these commands.
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps web-deps build run test test-sanitize test32 compile-win32 bench fuzz clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# Starts the development host with the plugin on http://127.0.0.1:8512/
# (HOST_FLAGS passes options, e.g. HOST_FLAGS="--folder ~/Videos --port 9000").
HOST_FLAGS ?=
run: build
	build/kyn-host $(HOST_FLAGS)

# playwright-core for the viewer's browser test, from the committed lock file;
# reinstalled only when the lock file changed.
web-deps: deps
	@[ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund

test: build web-deps
	ctest --test-dir build --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKYN_SANITIZE=ON -DKYN_BUILD_BENCHMARKS=OFF
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The 32-bit build is where the host records have the sizes and offsets the
# host expects; its layout assertions run there.
test32:
	scripts/install-deps --i386
	PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig \
	  cmake -S . -B build-32 $(CMAKE_FLAGS) \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux-gnu.cmake -DKYN_BUILD_BENCHMARKS=OFF
	cmake --build build-32 -j $(JOBS)
	ctest --test-dir build-32 --output-on-failure -j $(JOBS)

# The Windows code is compiled on every run, though not linked or run: every
# source but the POSIX layer's, except those that include the headers of
# rapidjson, libyaml or libwebm, which the cross compiler does not have.
WIN32_CXX ?= i686-w64-mingw32-g++-posix
WIN32_FLAGS ?= -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Isrc
WIN32_LIBRARY_HEADERS := ^\#include <(rapidjson/|yaml\.h|webm/|mkvparser)
compile-win32:
	scripts/install-deps --win32
	@sources=$$(find src -name '*.cpp' -not -path 'src/platform/posix/*' | sort | \
	  xargs grep -L -E '$(WIN32_LIBRARY_HEADERS)'); \
	echo "== compiling $$(echo $$sources | wc -w) sources with $(WIN32_CXX)"; \
	printf '%s\n' $$sources | xargs -P $(JOBS) -n 1 $(WIN32_CXX) $(WIN32_FLAGS)

# Each fuzz target runs FUZZ_SECONDS on a copy of its seed corpus (the files
# of fuzz/corpus/<name>/ and those its <name>_seeds program writes); a crash,
# leak or sanitizer report fails the run.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKYN_BUILD_FUZZERS=ON -DKYN_BUILD_TESTS=OFF -DKYN_BUILD_BENCHMARKS=OFF
	cmake --build build-fuzz -j $(JOBS)
	@for target in build-fuzz/fuzz/*_fuzz; do \
	  [ -x "$$target" ] || continue; \
	  name=$$(basename $$target _fuzz); \
	  rm -rf build-fuzz/corpus-$$name && mkdir -p build-fuzz/corpus-$$name && \
	  { [ ! -d fuzz/corpus/$$name ] || cp fuzz/corpus/$$name/* build-fuzz/corpus-$$name/; } && \
	  { [ ! -x build-fuzz/fuzz/$${name}_seeds ] || build-fuzz/fuzz/$${name}_seeds build-fuzz/corpus-$$name; } && \
	  echo "== fuzzing $$name for $(FUZZ_SECONDS) s" && \
	  $$target -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 build-fuzz/corpus-$$name 2>&1 | grep -E "^(#|==|stat::number_of_executed_units|INFO: Done|SUMMARY|ERROR)" | tail -n 8; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

bench: test
	@for b in build/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-asan build-32 build-fuzz
