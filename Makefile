# The two everyday commands; both install what is missing and build first.
.PHONY: run test test-asan test-tsan test-fuzz fuzz perf build install package format clean

# Where `make install` puts the program; DESTDIR (empty) is put before it, for staging.
PREFIX ?= /usr/local

# Starts the program; with no supported device on the HID bus it runs on simulated ones.
run:
	scripts/setup --build-dir build-run --type RelWithDebInfo --sanitize "" --no-tests
	@if [ -n "$$(build-run/src/tools/morvactl list 2>/dev/null)" ]; then \
		exec build-run/src/app/morva-tr510; \
	else \
		echo "No device found: starting on simulated devices."; \
		exec build-run/src/app/morva-tr510 --simulate mouse,keyboard,pad,headset; \
	fi

# Every test twice: with Address/UndefinedBehaviorSanitizer, then with ThreadSanitizer; then
# each fuzz target briefly.
test: test-asan test-tsan test-fuzz

test-asan:
	scripts/setup --build-dir build
	ctest --test-dir build --output-on-failure -j 2

# die_after_fork=0: the program starts its capture helper (fork, then exec) while its threads run.
test-tsan:
	scripts/setup --build-dir build-tsan --sanitize thread
	TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp" ctest --test-dir build-tsan --output-on-failure -j 2

# Five seconds a fuzz target: enough for a regression on the seeds to show, and the seven
# targets stay within a minute.
test-fuzz:
	scripts/fuzz 5

# Each fuzz target for a minute (FUZZ_SECONDS); what they find stays in build-fuzz/found.
FUZZ_SECONDS ?= 60
fuzz:
	scripts/fuzz $(FUZZ_SECONDS)

# Builds build-run as `make run` does, measures it and writes today's figures into
# docs/performance.md (PERF_ARGS, e.g. --quick or --no-write, go to the script).
PERF_ARGS ?=
perf:
	scripts/setup --build-dir build-run --type RelWithDebInfo --sanitize "" --no-tests
	scripts/measure-performance $(PERF_ARGS)

build:
	scripts/setup --build-dir build

# A release build without tests, installed under $(DESTDIR)$(PREFIX).
install:
	scripts/setup --build-dir build-install --type Release --sanitize "" --no-tests --prefix "$(PREFIX)"
	DESTDIR="$(DESTDIR)" cmake --install build-install

# A .deb of a release build for /usr, then its file list and lintian.
package:
	scripts/setup --build-dir build-package --type Release --sanitize "" --no-tests --prefix /usr
	cd build-package && cpack
	tests/install/check_package.sh build-package

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-run build-tsan build-install build-package build-fuzz
