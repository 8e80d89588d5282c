# The two set-up commands: `make run` and `make test`. Both install what is
# missing from Debian's packages first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
WINDOWS_DIR ?= build-windows
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

# clang and its runtimes: the sanitizer build and the fuzzer.
# desktop-file-utils: the launcher is validated by the tests.
# qt6-translations-l10n: Qt's Spanish texts, compiled into the program.
# python3: the package's archiver, which gives the same bytes for the same files.
# locales and libc-l10n: a Spanish locale, which the tests make, and the C
# library's Spanish texts.
PACKAGES := cmake make g++ clang libclang-rt-dev qt6-base-dev qt6-translations-l10n fonts-dejavu-core \
	fonts-cantarell libbenchmark-dev desktop-file-utils python3 locales libc-l10n

# The Windows program: Debian's qt6-base source (dpkg-dev, xz-utils) built
# with mingw-w64 (ninja-build), and Wine to run what the build and the
# tests start. qt6-base-dev gives Qt's host tools, qt6-translations-l10n
# Qt's Spanish texts. The tests unpack the zip (unzip), and walk the setup's
# pages in an X server of their own (xvfb), by keyboard (xdotool), taking
# pictures of them (imagemagick).
WINDOWS_PACKAGES := cmake ninja-build dpkg-dev xz-utils qt6-base-dev qt6-translations-l10n \
	g++-mingw-w64-x86-64-posix wine wine64 fonts-dejavu-core nsis python3 unzip xvfb xdotool imagemagick

# Where `make install` puts the program's folder: under the user's home, as
# the program keeps its data file beside itself.
PREFIX ?= $(HOME)/.local/lib/ventolia

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps windows-deps bench-deps build sanitize-build run test soak bench install package \
	windows test-windows clean

all: build

# Each installs what is missing of its own list.
deps: NEEDED = $(PACKAGES)
windows-deps: NEEDED = $(WINDOWS_PACKAGES)
bench-deps: NEEDED = valgrind # the instruction counts of `make bench`
deps windows-deps bench-deps:
	@missing=$$(for package in $(NEEDED); do \
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

# The generated sessions of `make test` (tests/tst_sessions.cpp), with a new
# random seed after each, for SOAK_SECONDS; a failure prints its seed, which
# VENTOLIA_SESSION_SEED=<seed> runs again.
SOAK_SECONDS ?= 600
soak: build
	cd $(BUILD_DIR)/tests && VENTOLIA_SOAK_SECONDS=$(SOAK_SECONDS) \
		QT_QPA_PLATFORM=offscreen:configfile=large.json ./tst_sessions

# Not part of `make test`: figures, not pass or fail, for Linux and, under
# Wine, for Windows (which builds the Windows program first). Run from the build
# folder, which lies on a real disk, so that flushes cost what they cost.
bench: bench-deps build windows
	cd $(BUILD_DIR) && ./bench/ventolia_bench
	bench/startup-instructions $(BUILD_DIR)
	qt=$$(packaging/windows/build-qt) && bench/windows-startup $(WINDOWS_DIR)/ventolia-*-windows-x86_64.zip \
		$(WINDOWS_DIR)/ventolia_floor.exe packaging/windows/wine-run $$qt/bin \
		"Z:$(abspath $(WINDOWS_DIR))/tests/plugins" $(BUILD_DIR)

# Ventolia.exe, build-windows/ventolia-<version>-windows-x86_64.zip,
# build-windows/ventolia-<version>-setup.exe and the source archive that the
# licences of its Qt promise, build-windows/ventolia-<version>-source.tar.xz,
# with their SHA256SUMS: the same bytes from the same commit. The
# Qt for Windows that it needs is built once (about 14 to 20 minutes on 2 cores)
# and kept in ~/.cache/ventolia/.
# A build folder configured with another Qt (its key in the cache changed)
# is made afresh.
windows: windows-deps
	qt=$$(packaging/windows/build-qt) && \
	if [ "$$(cat $(WINDOWS_DIR)/qt-prefix 2>/dev/null)" != "$$qt" ]; then rm -rf $(WINDOWS_DIR); fi && \
	cmake -S . -B $(WINDOWS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$$qt/lib/cmake/Qt6/qt.toolchain.cmake \
		-DVENTOLIA_LINUX_BUILD_DIR=$(abspath $(BUILD_DIR)) && \
	echo "$$qt" > $(WINDOWS_DIR)/qt-prefix
	cmake --build $(WINDOWS_DIR) --parallel $(JOBS)
	cd $(WINDOWS_DIR) && cpack
	cmake --build $(WINDOWS_DIR) --target setup
	cmake --build $(WINDOWS_DIR) --target source-archive
	cmake --build $(WINDOWS_DIR) --target sums

# The test suites built for Windows and run under Wine, the package unpacked
# and run, the Linux build (for the lock that both take) beside it, and the
# release files built a second time elsewhere, to the same bytes.
test-windows: windows package
	ctest --test-dir $(WINDOWS_DIR) --output-on-failure --parallel $(JOBS)

install: build
	cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	"$(PREFIX)/install-launcher"

# A portable archive in $(BUILD_DIR): unpacked anywhere, the program runs
# there; with its SHA256SUMS.
package: build
	cd $(BUILD_DIR) && cpack
	cmake --build $(BUILD_DIR) --target sums

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(WINDOWS_DIR)
