# Thin wrapper over CMake: `make run` builds and runs an example, `make test`
# builds and runs the whole test suite.
BUILD ?= build
EXAMPLE ?= examples/primes.vl

.PHONY: all build run test clean
all: build

build:
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j2

run: build
	./$(BUILD)/vorla $(EXAMPLE)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

clean:
	rm -rf $(BUILD)
