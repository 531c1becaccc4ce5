# Thin wrapper over CMake: `make run` builds the interpreter alone and runs an
# example, `make test` builds everything and runs the whole test suite.
# `make windows` cross-builds vorla.exe with MinGW-w64, `make windows-test`
# runs its suite under Wine.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
EXAMPLE ?= examples/primes.vl

.PHONY: all build configure run test windows windows-test clean
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

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
