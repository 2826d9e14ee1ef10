SHELL := /bin/bash
# Thin wrapper over CMake. Every target installs what is missing first, so a
# fresh machine needs nothing but these commands.
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps web-deps build run test test-sanitize test32 test-windows bench fuzz clean

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

# The plugin for its real target: kyn-highlights.dll for 32-bit Windows,
# cross-built with mingw-w64, and the unit tests run under Wine. The
# libraries Debian has no mingw build of are built once into build-win32/deps.
test-windows:
	scripts/install-deps --windows
	scripts/build-win32-deps build-win32
	cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DKYN_WIN32_PREFIX=$(CURDIR)/build-win32/deps/prefix -DCMAKE_BUILD_TYPE=Release \
	  -DKYN_BUILD_BENCHMARKS=OFF
	cmake --build build-win32 -j $(JOBS)
	scripts/check-dll-exports build-win32/kyn-highlights.dll
	scripts/wine-run --init
	ctest --test-dir build-win32 --output-on-failure -j $(JOBS); status=$$?; \
	  scripts/wine-run --stop; exit $$status

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
	rm -rf build build-asan build-32 build-fuzz build-win32
