# The two commands of the README do all the set-up on a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, and runs the main job on the samples
#   make test   installs what is missing, builds, and runs the whole test suite
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
CTEST_FLAGS ?=

PACKAGES := $(shell cat deps/*.txt 2>/dev/null | sed -e 's/\#.*//' | tr -s ' \n' ' ')
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build demo test test-unit test-interop test-sanitize fuzz bench \
        format install clean screenshots

all: build

# Installs the Debian packages that are not there yet (none when all are).
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	bash samples/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_FLAGS)

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

test-interop: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L interop

# The unit and interop tests, and the fuzz corpus replays, built with AddressSanitizer and
# UBSan (every finding fails its test); the desktop program's GUI tests are left to `test`.
SANITIZE_BUILD ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDROLIX_SANITIZE=ON \
	  -DQUENDROLIX_GUI=OFF -DQUENDROLIX_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'unit|interop' $(CTEST_FLAGS)

# libFuzzer runs of every target (or of FUZZ_TARGETS) for FUZZ_SECONDS each (clang,
# AddressSanitizer and UBSan, stopping at the first finding).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUENDROLIX_FUZZ=ON -DQUENDROLIX_GUI=OFF
	cmake --build build-fuzz -j $(JOBS)
	bash fuzz/run_all.sh build-fuzz $(FUZZ_SECONDS)

bench: build
	bash bench/run_all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	cmake --install $(BUILD)

# Pictures of the main window with a project and of every dialog, drawn by the program
# itself under Xvfb, into out/screenshots/; the manual's copies in app/help/images/ are
# refreshed from them.
screenshots: build
	mkdir -p out/screenshots app/help/images
	QUENDROLIX_SCREENSHOTS=$(CURDIR)/out/screenshots QT_QPA_PLATFORM=xcb \
	  xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD)/bin/quendrolix_gui_tests ScreenshotTour
	cp out/screenshots/*.png app/help/images/

clean:
	rm -rf $(BUILD) build-fuzz $(SANITIZE_BUILD)
