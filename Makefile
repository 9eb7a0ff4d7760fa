# Merovik: every set-up step starts from scripts/install-deps.sh, so each target
# works on a fresh Debian 12 machine.
BUILD_DIR   ?= build
ASAN_DIR    ?= build-asan
BENCH_DIR   ?= $(BUILD_DIR)
FUZZ_DIR    ?= build-fuzz
PORTABLE    ?= $(HOME)/Merovik
JOBS        ?= $(shell nproc)

.PHONY: deps configure build test run install check-asan bench soak fuzz clean

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

install: build
	cmake --install $(BUILD_DIR)

check-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEROVIK_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: configure
	cmake --build $(BENCH_DIR) -j $(JOBS) --target merovik-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/merovik-bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
