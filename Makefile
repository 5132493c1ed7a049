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

# The sample site on loopback, a stand-in for the movie database site. The desktop window
# does not exist yet, so this prints how to point korvid-cli at the site, then serves it
# until Ctrl-C.
DEMO_PORT ?= 8642
demo: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvid-sample-site korvid-cli
	@echo
	@echo "Look films up on the sample site with korvid-cli, in another terminal:"
	@echo "  $(BUILD)/cli/korvid-cli search --host 127.0.0.1:$(DEMO_PORT) orchard"
	@echo "  $(BUILD)/cli/korvid-cli search --host 127.0.0.1:$(DEMO_PORT) --pick 1 --dir /tmp orchard"
	@echo "  KORVID_HOST=127.0.0.1:$(DEMO_PORT) $(BUILD)/cli/korvid-cli search 'glass orchard'"
	@echo
	BUILD=$(BUILD) sample-site/serve --port $(DEMO_PORT)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
