# The two everyday commands are `make run` and `make test`; both install what is
# missing first (scripts/install-deps.sh), then build.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: deps build run test sanitize bench fuzz demo clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

# Builds the two programs only (no tests) and starts the desktop program (it needs a
# display: DISPLAY or WAYLAND_DISPLAY).
run: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvid korvid-cli
	@echo "Korvid is built: $(BUILD)/shell/korvid (window), $(BUILD)/cli/korvid-cli (command line)."
	$(BUILD)/shell/korvid

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

# The fuzz targets of fuzz/ (clang, libFuzzer, ASan and UBSan, a project of their own), each
# run for FUZZ_SECONDS; the first finding stops with its input in $(FUZZ_BUILD)/artifacts/.
FUZZ_TARGETS = fuzz_line_finder fuzz_page_parser fuzz_search_import fuzz_movie_tag \
               fuzz_text_codecs fuzz_jpeg_picture fuzz_line_search_differential \
               fuzz_dataset_rows
fuzz: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	for t in $(FUZZ_TARGETS); do bash fuzz/run.sh $(FUZZ_BUILD) $$t $(FUZZ_SECONDS) || exit 1; done

# The sample site on loopback, a stand-in for the movie database site, its small data set
# built into a demo database with korvid-cli dataset update, and the desktop program pointed
# at both. The demo's database and downloads live in $(DEMO_DIR), never in the user's own
# folders: the invented films must not replace a database built from the real data sets.
# Closing the window stops the site too.
DEMO_PORT ?= 8642
DEMO_DIR  ?= $(BUILD)/demo
demo: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvid-sample-site korvid korvid-cli
	@echo
	@echo "The sample site runs on 127.0.0.1:$(DEMO_PORT); try the titles orchard, harbour, night ferry, glass orchard."
	@echo "The demo's film database is $(DEMO_DIR)/films.sqlite; korvid-cli works against both, in another terminal:"
	@echo "  KORVID_DATASET=$(DEMO_DIR)/films.sqlite $(BUILD)/cli/korvid-cli dataset status"
	@echo "  $(BUILD)/cli/korvid-cli search --host 127.0.0.1:$(DEMO_PORT) orchard"
	@echo
	BUILD=$(BUILD) sample-site/serve --port $(DEMO_PORT) & site=$$!; \
	  trap 'kill $$site 2>/dev/null' EXIT INT TERM; sleep 1; \
	  export XDG_CACHE_HOME="$(abspath $(DEMO_DIR))/cache" KORVID_DATASET="$(abspath $(DEMO_DIR))/films.sqlite"; \
	  $(BUILD)/cli/korvid-cli dataset update --from http://127.0.0.1:$(DEMO_PORT)/datasets/ && \
	  KORVID_HOST=127.0.0.1:$(DEMO_PORT) KORVID_DATASETS_URL=http://127.0.0.1:$(DEMO_PORT)/datasets/ \
	  $(BUILD)/shell/korvid

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
