# Thin wrapper over CMake: every target first installs what is missing.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build run test bench package clean

deps:
	./scripts/install-deps

# Configured once; afterwards the build tree re-runs CMake itself when a CMake file changes.
build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja

# Starts stavenor in the run directory that the build lays out (config.cfg, www/, announcements/),
# logging start-up and errors.
run: build
	cd $(BUILD)/run && exec ../stavenor/stavenor -l 0x000d

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	./bench/run-all $(BUILD)

# The Debian packages (debian/, debhelper over this build tree) into $(BUILD)/packages/.
package: build
	rm -rf $(BUILD)/packages
	debian/rules binary BUILD_TREE=$(abspath $(BUILD)) PACKAGE_DIR=$(abspath $(BUILD))/packages

clean:
	rm -rf $(BUILD)
