# Merovik: every set-up step starts from scripts/install-deps.sh, so each target
# works on a fresh Debian 12 machine.
BUILD_DIR   ?= build
ASAN_DIR    ?= build-asan
TSAN_DIR    ?= build-tsan
BENCH_DIR   ?= $(BUILD_DIR)
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 0
# The INI and label targets save files on every input; on a memory file
# system the syncs of atomic saves cost nothing.
FUZZ_TMPDIR ?= /dev/shm
FUZZ_TARGETS = fuzz_ini_file fuzz_colors fuzz_label_render fuzz_merge_table
PORTABLE    ?= $(HOME)/Merovik
PREFIX      ?= /usr/local
JOBS        ?= $(shell nproc)

.PHONY: deps configure build test run install package package-check check-asan check-tsan bench soak fuzz clean

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Installs the program into a folder of the user's, beside its settings file
# and its "labels" folder, and starts it from there.
run: build
	cmake --install $(BUILD_DIR) --component portable --prefix $(PORTABLE)
	@echo "Merovik is installed in $(PORTABLE)"
	cd $(PORTABLE) && ./merovik

# Installs system-wide and makes the label file type and the menu entry
# known at once, as the Debian package's triggers do under /usr.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	update-mime-database $(PREFIX)/share/mime
	update-desktop-database -q $(PREFIX)/share/applications

# Builds $(BUILD_DIR)/merovik_<version>_<arch>.deb.
package: build
	cd $(BUILD_DIR) && cpack

# Builds the package and checks it as a distribution would: lintian without
# errors or warnings, the AppStream metadata valid.
package-check: build
	bash scripts/install-deps.sh --package-check
	bash scripts/package-check.sh $(BUILD_DIR)

check-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEROVIK_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The core, merovik-render and the merge tests under ThreadSanitizer, then a
# merge of 200 rows over shared and damaged pictures on several threads. Qt
# itself is not instrumented: scripts/tsan.supp names each report that comes
# from inside it.
TSAN_TESTS = tst_merge_table tst_render_output tst_picture_cache
check-tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEROVIK_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target merovik-render $(TSAN_TESTS)
	cd $(TSAN_DIR) && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="suppressions=$(CURDIR)/scripts/tsan.supp ignore_noninstrumented_modules=1 halt_on_error=1 exitcode=66" \
	  ctest --output-on-failure -j $(JOBS) -R '^(tst_merge_table|tst_render_output|tst_picture_cache)$$'
	TSAN_OPTIONS="suppressions=$(CURDIR)/scripts/tsan.supp ignore_noninstrumented_modules=1 halt_on_error=1 exitcode=66" \
	  bash scripts/tsan-merge.sh $(TSAN_DIR)/tools/merovik-render

bench: configure
	cmake --build $(BENCH_DIR) -j $(JOBS) --target merovik-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/merovik-bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# Drives the editor window offscreen through 5000 random edits, undo and redo
# among them, and fails when its heap in use grew by more than 2 MB after the
# first 1000.
soak: configure
	cmake --build $(BENCH_DIR) -j $(JOBS) --target merovik-soak
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/merovik-soak 5000

# Builds the libFuzzer targets with clang. With FUZZ_SECONDS above 0 it also
# runs each of them for that long, one after the other, on a corpus in
# $(FUZZ_DIR)/corpus seeded from fuzz/corpus; inputs that fail are written to
# $(FUZZ_DIR) as crash-*, leak-* or timeout-* files:
#   make fuzz FUZZ_SECONDS=600
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DMEROVIK_FUZZ=ON -DMEROVIK_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	@if [ "$(FUZZ_SECONDS)" -gt 0 ]; then \
	  for target in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_DIR)/corpus/$$target && \
	    cp -n fuzz/corpus/$$target/* $(FUZZ_DIR)/corpus/$$target/ 2>/dev/null; \
	    QT_QPA_PLATFORM=offscreen TMPDIR=$(FUZZ_TMPDIR) \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	    $(FUZZ_DIR)/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=30 -rss_limit_mb=4096 \
	      -artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus/$$target || exit 1; \
	  done; \
	fi

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR)
