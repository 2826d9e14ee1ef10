# Thin wrapper over CMake. Every target installs what is missing first, so a
# fresh machine needs nothing but these commands.
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps test test-sanitize test32 bench clean

deps:
	scripts/install-deps

test: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)
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

bench: test
	@for b in build/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-asan build-32
