# make test : install what is missing, build the three trees, run every test.
# make demo : build, then run the real Launcher.exe under Wine.
# make deps-check : every dependency's source still fetches (CI runs it).
SHELL := /bin/bash
DEPS_DIR ?= $(or $(LAUNCHER_DEPS_DIR),/var/cache/launcher-deps)
# The dependency scripts read the same folder.
export LAUNCHER_DEPS_DIR := $(DEPS_DIR)
JOBS ?= 2
CTEST_FLAGS := --output-on-failure --no-tests=error --timeout 300 -j $(JOBS)

.PHONY: test demo packages deps deps-check build native win64 win32 native-tests win64-tests win32-tests bench clean

test: deps build
	$(MAKE) native-tests win64-tests win32-tests

demo: deps native win32
	bash tests/demo/run-demo.sh

packages:
	bash deps/install-packages.sh

deps: packages
	bash deps/build-deps.sh

# Downloads every dependency's source (no build): a cached build cannot
# hide a source the package server no longer has.
deps-check:
	bash deps/build-deps.sh --check

build: native win64 win32

build/native/build.ninja:
	cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DLAUNCHER_DEPS_PREFIX=$(DEPS_DIR)/x86_64-linux-gnu

build/win64/build.ninja:
	cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	    -DLAUNCHER_DEPS_PREFIX=$(DEPS_DIR)/x86_64-w64-mingw32

build/win32/build.ninja:
	cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	    -DLAUNCHER_DEPS_PREFIX=$(DEPS_DIR)/i686-w64-mingw32

native: build/native/build.ninja
	cmake --build build/native -j $(JOBS)
# The Windows trees pack their branding with the native launcher-tool.
win64: native build/win64/build.ninja
	cmake --build build/win64 -j $(JOBS)
win32: native build/win32/build.ninja
	cmake --build build/win32 -j $(JOBS)

native-tests: native
	ctest --test-dir build/native $(CTEST_FLAGS)

# Each tree's probe decides whether its Wine tests can run here: a 32-bit
# exe that cannot start "runs" silently.
win64-tests: win64
	cmake/wine-tests.sh build/win64 $(CTEST_FLAGS)

win32-tests: win32
	cmake/wine-tests.sh build/win32 $(CTEST_FLAGS)

bench: native win64
	bash bench/crc/run-crc-bench.sh
	bash bench/unpack/run-unpack-bench.sh
	bash bench/net/run-net-bench.sh
	bash bench/verify/run-verify-bench.sh
	bash bench/update/run-update-bench.sh

clean:
	rm -rf build
