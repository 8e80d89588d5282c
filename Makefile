# The two set-up commands: `make run` and `make test`. Both install what is
# missing from Debian's packages first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

# clang and its runtimes: the sanitizer build and the fuzzer.
# desktop-file-utils: the launcher is validated by the tests.
PACKAGES := cmake make g++ clang libclang-rt-dev qt6-base-dev fonts-dejavu-core \
	libbenchmark-dev desktop-file-utils

# Where `make install` puts the program's folder: under the user's home, as
# the program keeps its data file beside itself.
PREFIX ?= $(HOME)/.local/lib/ventolia

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps build sanitize-build run test bench install package clean

all: build

deps:
	@missing=$$(for package in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$package 2>/dev/null | grep -q '^install ok installed$$' \
			|| echo $$package; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer, and
# the record encoding's fuzzer.
sanitize-build: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
		-DVENTOLIA_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) --parallel $(JOBS)

run: build
	$(BUILD_DIR)/bin/ventolia

test: build sanitize-build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --parallel $(JOBS)
	ctest --test-dir $(SANITIZE_DIR) --output-on-failure --parallel $(JOBS)

# Not part of `make test`: figures, not pass or fail. Run from the build
# folder, which lies on a real disk, so that flushes cost what they cost.
bench: build
	cd $(BUILD_DIR) && ./bench/ventolia_bench

install: build
	cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	"$(PREFIX)/install-launcher"

# A portable archive in $(BUILD_DIR): unpacked anywhere, the program runs there.
package: build
	cd $(BUILD_DIR) && cpack

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
