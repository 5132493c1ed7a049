# The two everyday commands are `make run` and `make test`; both install what is
# missing first (scripts/install-deps.sh), then build.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: deps build run test sanitize bench demo clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@echo "Korvid is built: $(BUILD)/cli/korvid-cli is ready to use."
	@echo "The desktop window comes with a later step; until then use korvid-cli (see README.md)."

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVID_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVID_TESTS=ON -DKORVID_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	for b in $(BENCH_BUILD)/bench/bench_*; do if [ -x "$$b" ]; then "$$b" || exit 1; fi; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
