# The two everyday commands: `make run` and `make test`. Both install what is missing first.
JOBS ?= $(shell nproc)
DEV := build/dev
ASAN := build/asan
RELEASE := build/release

.PHONY: all deps configure build run test test-dev test-asan test-fuzz-qt test-windows bench install package format tidy screenshots clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset dev >/dev/null

build: configure
	@cmake --build $(DEV) -j $(JOBS)

run: build
	$(DEV)/tavrino-wallpaper-manager $(ARGS)

test: deps test-dev test-asan test-fuzz-qt test-windows

test-dev: build
	ctest --preset dev -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The picture-decoding fuzzer links the Qt side, so it gets a sanitizer build of its own.
test-fuzz-qt: deps
	@cmake --preset fuzz-qt >/dev/null
	@cmake --build build/fuzz-qt -j $(JOBS) --target fuzz_wallpaper_compose
	ctest --test-dir build/fuzz-qt -R '^fuzz_wallpaper_compose$$' --output-on-failure --no-tests=error

test-windows: deps
	@if [ -x scripts/test-windows ]; then scripts/test-windows; fi

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	@scripts/run-bench $(RELEASE)

install: deps
	@cmake --preset release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	DESTDIR=$(DESTDIR) cmake --install $(RELEASE)

package: deps
	@cmake --preset release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	cd $(RELEASE) && cpack -G DEB

screenshots: build
	@scripts/screenshots $(DEV)
	@scripts/screenshot-program $(DEV)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: configure
	@git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p $(DEV) --quiet

clean:
	rm -rf build
