# The two everyday commands; both install what is missing and build first.
.PHONY: run test build format clean

run:
	scripts/setup --build-dir build-run --type RelWithDebInfo --sanitize ""
	@echo "The desktop program is not built yet: the build contains the core libraries and their tests only."

test:
	scripts/setup --build-dir build
	ctest --test-dir build --output-on-failure -j 2

build:
	scripts/setup --build-dir build

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-run
