# Thin wrapper over CMake: `make run` builds the interpreter alone and runs an
# example, `make test` builds everything and runs the whole test suite.
BUILD ?= build
EXAMPLE ?= examples/primes.vl

.PHONY: all build configure run test clean
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

clean:
	rm -rf $(BUILD)
