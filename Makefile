# Builds and tests the native (Linux) and the win32 (MinGW, run under Wine)
# configurations. `make test` is what CI runs.

NATIVE   := build/native
WIN32    := build/win32
SANITIZE := build/sanitize
FUZZ     := build/fuzz
WEB      := build/web
WEB_CORE := build/web-core
# Debian's emscripten finds its acorn module only through NODE_PATH.
EMSCRIPTEN_NODE_PATH := /usr/share/nodejs
FUZZ_SECONDS ?= 60
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all bootstrap build native win32 web test test-native test-wine test-web test-sanitize fuzz run bench format clean

all: build

bootstrap:
	@scripts/bootstrap

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) $(CMAKE_FLAGS)

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

$(SANITIZE)/build.ninja:
	cmake -S . -B $(SANITIZE) $(CMAKE_FLAGS) -DFERROVEL_SANITIZE=ON -DFERROVEL_BENCHMARKS=OFF

native: bootstrap $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

win32: bootstrap $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

build: native win32

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-wine: win32
	tests/wine-ctest.sh $(WIN32) -j $(JOBS)

test: test-native test-wine test-web
	$(MAKE) test-package

.PHONY: package test-package screenshots

# The Debian package of imagedb (build/native/packages), the Windows installer
# and .zip (build/win32/packages).
package: native win32
	cmake --build $(NATIVE) --target package
	cmake --build $(WIN32) --target package

# Each package installed, run and removed as its users do. make test runs it
# after the Wine tests, whose Wine prefix the installer's test uses too.
test-package: package
	tests/package/deb-test.sh $(NATIVE)
	tests/package/installer-test.sh $(WIN32)

# The README's pictures of the window program, taken by its window tests;
# docs/ changes only where a screen's pixels did.
screenshots: win32
	scripts/screenshots $(WIN32)

# The web page: the core as WebAssembly inside one index.html, with the zip
# library, that works opened from disk or from any static host.
$(WEB_CORE)/build.ninja:
	NODE_PATH=$(EMSCRIPTEN_NODE_PATH) emcmake cmake -S . -B $(WEB_CORE) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DFERROVEL_BENCHMARKS=OFF

web: bootstrap $(WEB_CORE)/build.ninja
	NODE_PATH=$(EMSCRIPTEN_NODE_PATH) cmake --build $(WEB_CORE) -j $(JOBS)
	mkdir -p $(WEB)
	node web/assemble.js web/index.html $(WEB)/index.html $(WEB_CORE)/bin/core.js \
	  web/node_modules/fflate/umd/index.js web/app.js

# The page in headless Chromium, against the native build's imagedb.
test-web: native web
	FERROVEL_NATIVE=$(NATIVE) FERROVEL_WEB=$(WEB) node --test tests/web/

test-sanitize: bootstrap $(SANITIZE)/build.ninja
	cmake --build $(SANITIZE) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

$(FUZZ)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(CMAKE_FLAGS) -DFERROVEL_FUZZ=ON -DFERROVEL_SANITIZE=ON \
	  -DFERROVEL_BENCHMARKS=OFF -DBUILD_TESTING=OFF

# Each fuzz target for FUZZ_SECONDS (default 60), from a seed corpus of our own.
fuzz: bootstrap $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)
	$(FUZZ)/bin/make_corpus $(FUZZ)/seeds
	for target in ReadPicture:picture Database:database Append:database RunLength:runlength; do \
	  name=$${target%%:*}; seeds=$${target##*:}; mkdir -p $(FUZZ)/corpus/$$name; \
	  $(FUZZ)/bin/Fuzz$$name -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ)/findings- $(FUZZ)/corpus/$$name $(FUZZ)/seeds/$$seeds || exit 1; \
	done

# The window program on the demo database (under Wine here).
run: native win32
	scripts/run $(WIN32) $(NATIVE)/demo/demo.pdb

bench: native
	$(NATIVE)/bin/ferrovel_bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
