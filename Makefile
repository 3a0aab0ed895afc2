# The commands of the README: `make run`, `make test` and `make test-asan`.
BUILD   ?= build
# The suite under AddressSanitizer and UndefinedBehaviorSanitizer, in a build of its own.
ASAN_BUILD ?= build-asan
# xvfb and xauth give `xvfb-run`, for `make run` on a machine without a display.
PACKAGES = cmake ninja-build g++ pkg-config libsqlite3-dev qt6-base-dev libgtest-dev \
           libbenchmark-dev libfreexl-dev mdbtools-dev libxml2-dev nettle-dev fonts-urw-base35 xvfb xauth

.PHONY: run test test-asan build deps

deps:
	@missing=""; for p in $(PACKAGES); do \
	    dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    if [ "$$(id -u)" = 0 ]; then apt-get update -qq && apt-get install -y -qq --no-install-recommends $$missing; \
	    elif command -v sudo >/dev/null; then sudo apt-get update -qq && sudo apt-get install -y -qq --no-install-recommends $$missing; \
	    else echo "Please install:$$missing"; exit 1; fi; \
	fi

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "Varnoke needs a display. Start one, e.g.: xvfb-run -a make run"; exit 1; fi
	cd $(BUILD) && ./varnoke

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)

# Tests only (no benchmarks), at -O1; a sanitized test runs a few times slower, so each
# may take three times as long before ctest calls it hung.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVARNOKE_SANITIZE=ON -DVARNOKE_BENCHMARKS=OFF \
	    -DVARNOKE_TEST_TIMEOUT=900
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)
