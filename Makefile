# Entry points: `make run` builds and starts the program, `make check` builds and runs
# every test headless. Both install missing Debian packages first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
APP := $(BUILD_DIR)/src/app/corvial-manager

.PHONY: all deps configure build run check bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The program refuses to start without start.txt beside it; give it the default one
# the first time, and never replace one that a user's work has changed.
run: build
	@test -f $(BUILD_DIR)/src/app/start.txt || cp data/start.txt $(BUILD_DIR)/src/app/start.txt
	$(APP)

check: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/*/bench_*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR)
