# The two everyday commands are `make run` and `make test`; both install what is
# missing first (scripts/install-deps.sh), then build.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

DEB_BUILD ?= build-deb

.PHONY: deps build run test sanitize bench fuzz demo demo-build demo-pages deb deb-check clean

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

# The online services point at a closed loopback port: no benchmark reaches the internet.
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVID_TESTS=ON -DKORVID_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	export KORVID_SUGGEST_URL=http://127.0.0.1:9/ KORVID_DATASETS_URL=http://127.0.0.1:9/; \
	  for b in $(BENCH_BUILD)/bench/bench_*; do if [ -x "$$b" ]; then "$$b" || exit 1; fi; done

# The fuzz targets of fuzz/ (clang, libFuzzer, ASan and UBSan, a project of their own), each
# run for FUZZ_SECONDS; the first finding stops with its input in $(FUZZ_BUILD)/artifacts/.
FUZZ_TARGETS = fuzz_line_finder fuzz_page_parser fuzz_search_import fuzz_movie_tag \
               fuzz_text_codecs fuzz_jpeg_picture fuzz_line_search_differential \
               fuzz_dataset_rows fuzz_dataset_build fuzz_cover_address
fuzz: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	for t in $(FUZZ_TARGETS); do bash fuzz/run.sh $(FUZZ_BUILD) $$t $(FUZZ_SECONDS) || exit 1; done

# The sample site on loopback, a stand-in for the movie database site, its small data set
# built into a demo database with korvid-cli dataset update, and the desktop program pointed
# at both: every search answers from the demo database, and the films' covers come from the
# site's stand-in suggestion service. The demo's database and downloads live in $(DEMO_DIR),
# never in the user's own folders: the invented films must not replace a database built from
# the real data sets. Closing the window stops the site too. `make demo-pages` opens the window
# on the site's classic pages instead (no film database), with tag lines and plots.
DEMO_PORT ?= 8642
DEMO_DIR  ?= $(BUILD)/demo
DEMO_SITE  = http://127.0.0.1:$(DEMO_PORT)
demo-build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvid-sample-site korvid korvid-cli

demo: demo-build
	@echo
	@echo "The sample site runs on 127.0.0.1:$(DEMO_PORT); the window answers from the demo film database"
	@echo "($(DEMO_DIR)/films.sqlite) with covers from the site: try orchard, harbour, night ferry, winter orchard,"
	@echo "or a film's title in another script: 最後のシグナル, Последний сигнал (see sample-site/README.md)."
	@echo "make demo-pages shows the site's classic pages instead, with tag lines and plots."
	@echo "  KORVID_DATASET=$(DEMO_DIR)/films.sqlite $(BUILD)/cli/korvid-cli dataset status"
	@echo "  KORVID_DATASET=$(DEMO_DIR)/films.sqlite KORVID_SUGGEST_URL=$(DEMO_SITE) $(BUILD)/cli/korvid-cli search 'winter orchard'"
	@echo
	BUILD=$(BUILD) sample-site/serve --port $(DEMO_PORT) & site=$$!; \
	  trap 'kill $$site 2>/dev/null' EXIT INT TERM; sleep 1; \
	  export XDG_CACHE_HOME="$(abspath $(DEMO_DIR))/cache" KORVID_DATASET="$(abspath $(DEMO_DIR))/films.sqlite" \
	         KORVID_DATASETS_URL=$(DEMO_SITE)/datasets/ KORVID_SUGGEST_URL=$(DEMO_SITE); \
	  $(BUILD)/cli/korvid-cli dataset update --from $(DEMO_SITE)/datasets/ && \
	  KORVID_HOST=127.0.0.1:$(DEMO_PORT) $(BUILD)/shell/korvid

# The window on the sample site's classic pages: no film database (a path where none is), so
# every search is answered by the site's pages, with tag line, plot and cover.
demo-pages: demo-build
	@echo
	@echo "The sample site runs on 127.0.0.1:$(DEMO_PORT); the window reads its pages (tag lines and plots):"
	@echo "try orchard, harbour, night ferry, glass orchard."
	@echo
	BUILD=$(BUILD) sample-site/serve --port $(DEMO_PORT) & site=$$!; \
	  trap 'kill $$site 2>/dev/null' EXIT INT TERM; sleep 1; \
	  export XDG_CACHE_HOME="$(abspath $(DEMO_DIR))/cache" KORVID_DATASET="$(abspath $(DEMO_DIR))/no-film-data.sqlite" \
	         KORVID_DATASETS_URL=$(DEMO_SITE)/datasets/ KORVID_SUGGEST_URL=$(DEMO_SITE); \
	  KORVID_HOST=127.0.0.1:$(DEMO_PORT) $(BUILD)/shell/korvid

# The Debian package korvid_<version>_<arch>.deb in $(DEB_BUILD)/ (CPack), its binaries built
# with Debian's hardening flags (dpkg-buildflags: fortify, stack protector, relro, bind-now;
# only this build takes them), checked by lintian, which must not find them missing.
DEB_HARDENING_TAGS = hardening-no-fortify-functions|hardening-no-bindnow|hardening-no-relro
deb: deps
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DKORVID_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  -DCMAKE_MODULE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" $(CMAKE_ARGS)
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && rm -f korvid_*.deb && cpack -G DEB
	lintian --fail-on error --display-info $(DEB_BUILD)/korvid_*.deb > $(DEB_BUILD)/lintian.txt; \
	  status=$$?; cat $(DEB_BUILD)/lintian.txt; exit $$status
	@if grep -E '$(DEB_HARDENING_TAGS)' $(DEB_BUILD)/lintian.txt; then \
	  echo "deb: the package's binaries lack hardening (above)" >&2; exit 1; fi

# The package as a user meets it (as root): installed with apt-get, its programs, man pages and
# completions tried, then removed again. Leaves the system as it found it.
deb-check: deb
	bash scripts/check-deb.sh $(DEB_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(DEB_BUILD)
