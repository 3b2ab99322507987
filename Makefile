# The two commands a user needs: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
# The checked build: clang with AddressSanitizer, UndefinedBehaviorSanitizer and the fuzz targets.
ASAN_DIR ?= build-asan
# The report built with ThreadSanitizer, for its tests: it reads a class's files and writes its pages on every processor.
TSAN_DIR ?= build-tsan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# A course team's course for the drill to carry instead of its own: make COURSE=path/to/course.txt [run|package|windows]
COURSE ?=
COURSE_PATH := $(if $(COURSE),$(abspath $(COURSE)))

.PHONY: all deps configure build run test bench package windows windows-test clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQADRILL_COURSE="$(COURSE_PATH)" >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/qadrill

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@echo "== the same tests, and the fuzz targets, with AddressSanitizer and UndefinedBehaviorSanitizer =="
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DQADRILL_SANITIZE=ON -DQADRILL_FUZZ=ON -DQADRILL_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)
	@echo "== the report's tests on its program built with ThreadSanitizer =="
	@cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DQADRILL_TSAN=ON -DQADRILL_TESTS=OFF -DQADRILL_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS) --target qadrill-report
	@# the cases that run the program; not those that interrupt it, whose signals the checker's own handling keeps
	@QADRILL_REPORT_PROGRAM="$(abspath $(TSAN_DIR))/report/qadrill-report" TSAN_OPTIONS=halt_on_error=1 \
		QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/tests/tst_report -silent \
		program output_neverReplacesWhatIsNotItsOwn output_folderWholeOrUntouched

bench: build
	@cmake --build $(BUILD_DIR) --target benchmarks -j $(JOBS)
	@for b in $(BUILD_DIR)/bench/bench_*; do \
		if [ -f "$$b" ] && [ -x "$$b" ]; then QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The Windows package, cross-built here: build-windows/qadrill-<version>-windows-x64.zip (scripts/build-windows).
windows: $(if $(COURSE),configure)
	@$(if $(COURSE),cmake --build $(BUILD_DIR) -j $(JOBS) --target qadrill-course &&) \
		QADRILL_COURSE="$(COURSE_PATH)" QADRILL_COURSE_CHECKER="$(abspath $(BUILD_DIR))/course/qadrill-course" \
		scripts/build-windows

# The package's programs and the file-system unit suites run under Wine (scripts/windows/wine-test).
# The Linux qadrill-report is built too: the Windows one's page must be byte for byte the same.
windows-test: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target qadrill-report
	@scripts/build-windows --tests
	@scripts/windows/wine-test

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) build-windows
