# The two everyday commands: `make run` and `make test`. Both install what is missing first:
# `make run`, `make build`, `make install` and `make package` only what building and running
# need (scripts/install-deps run), the test, benchmark and screenshot targets the rest too.
JOBS ?= $(shell nproc)
RUN := build/run
DEV := build/dev
ASAN := build/asan
RELEASE := build/release
BENCH := build/bench

.PHONY: all deps deps-run configure build build-dev run test test-dev test-asan test-fuzz-qt test-windows bench install package format tidy screenshots clean

all: build

deps:
	@scripts/install-deps test

deps-run:
	@scripts/install-deps run

# The program alone, without its tests (build/run).
build: deps-run
	@cmake --preset run >/dev/null
	@cmake --build $(RUN) -j $(JOBS)

run: build
	$(RUN)/tavrino-wallpaper-manager $(ARGS)

# The developer build with the test suite (build/dev).
configure: deps
	@cmake --preset dev >/dev/null

build-dev: configure
	@cmake --build $(DEV) -j $(JOBS)

test: deps test-dev test-asan test-fuzz-qt test-windows

test-dev: build-dev
	ctest --preset dev -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The fuzzers that link the Qt side (picture decoding, the settings file) get a sanitizer build
# of their own; they carry the label qt.
test-fuzz-qt: deps
	@cmake --preset fuzz-qt >/dev/null
	@cmake --build build/fuzz-qt -j $(JOBS) --target qt_fuzzers
	ctest --test-dir build/fuzz-qt -L '^qt$$' --output-on-failure --no-tests=error

test-windows: deps
	@if [ -x scripts/test-windows ]; then scripts/test-windows; fi

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build $(BENCH) -j $(JOBS)
	@scripts/run-bench $(BENCH)

install: deps-run
	@cmake --preset release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	DESTDIR=$(DESTDIR) cmake --install $(RELEASE)

package: deps-run
	@cmake --preset release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	cd $(RELEASE) && cpack -G DEB

screenshots: build-dev
	@scripts/screenshots $(DEV)
	@scripts/screenshot-program $(DEV)
	@scripts/screenshot-monitors $(DEV)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: configure
	@git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p $(DEV) --quiet

clean:
	rm -rf build
