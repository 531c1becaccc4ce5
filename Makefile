# Thin wrapper over CMake: `make run` builds the interpreter alone and runs an
# example, `make test` builds everything and runs the whole test suite.
# `make windows` cross-builds vorla.exe with MinGW-w64, `make windows-test`
# runs its suite under Wine. `make web` builds the page with Emscripten into
# build-web/page, `make web-test` runs the WebAssembly build's suite under
# Node.js and the page's in Chromium.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
WEB_BUILD ?= build-web
EXAMPLE ?= examples/primes.vl

.PHONY: all build configure run test windows windows-test web web-test clean
all: build

configure:
	cmake -S . -B $(BUILD) >/dev/null

build: configure
	cmake --build $(BUILD) -j2

run: configure
	cmake --build $(BUILD) -j2 --target vorla
	./$(BUILD)/vorla $(EXAMPLE)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

windows:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	cmake --build $(WINDOWS_BUILD) -j2 --target vorla

windows-test: windows
	cmake --build $(WINDOWS_BUILD) -j2
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j2

# Debian's emcc runs its JavaScript parts with the modules Debian keeps in
# /usr/share/nodejs, which a Node.js from elsewhere does not look in.
web web-test: export NODE_PATH := $(if $(NODE_PATH),$(NODE_PATH):)/usr/share/nodejs

web:
	emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(WEB_BUILD) -j2 --target page vorla

web-test: web
	cmake --build $(WEB_BUILD) -j2
	ctest --test-dir $(WEB_BUILD) --output-on-failure -j2

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(WEB_BUILD)
