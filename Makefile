# Front door: every target calls CMake, ctest or a script of tools/.
#   make test     installs what is missing, builds all three builds and runs every test
#   make dist     leaves dist/quillet.scr (32-bit), dist/quillet64.scr (64-bit), the release
#                 package dist/quillet-<version>.zip, the setup program
#                 dist/quillet-<version>-setup.exe and their hashes, dist/SHA256SUMS; two runs
#                 of one commit give the same bytes (the default target, also `make all`)
#   make demo     shows the saver running under Wine
#   make bench    measures the saver under Wine against a reference (minutes; not in test)
#   make soak     runs quillet.scr for 20 000 fast steps and prints its memory (minutes; not in
#                 test)
#   make compat   checks both builds on every Windows version Wine can report and writes the
#                 table dist/compatibility.md (minutes; make test checks a few versions)
#   make format   lays the C++ out as .clang-format says (make test fails until it does)
#   make fuzz-long fuzzes the command line and the settings file for FUZZ_SECONDS per target
#   make deps     installs the Debian packages the rest needs (each target above does it first)
#   make win32, make win64, make native  configure and build one of the three builds
#   make clean    removes the build and dist folders
BUILD   ?= build
DIST    ?= dist
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE   := cmake
CTEST_ARGS ?=
# The release package's entries carry the commit's date, so that it does not depend on when
# it was made.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
DEMO_ARGS ?=
# The system's Python: it has the Debian packages the tests and tools use (python3-pil,
# python3-pefile), which an interpreter earlier on PATH (pyenv, a virtualenv) does not see.
PYTHON  ?= /usr/bin/python3
# The tools import the Wine desktop harness the scenarios use, as the scenarios do, and run
# the 64-bit Windows helper programs (their --helpers).
HARNESS := PYTHONPATH=$(CURDIR)/tools/wine PYTHONDONTWRITEBYTECODE=1 $(PYTHON)
HELPERS64 := $(BUILD)/win64/tests/windows_helpers

.PHONY: all deps dist test demo bench compat soak format clean win32 win64 native fuzz-long

all: dist

deps:
	@tools/install-deps.sh

win32: deps
	$(CMAKE) -S . -B $(BUILD)/win32 -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
	$(CMAKE) --build $(BUILD)/win32 -j $(JOBS)

win64: deps
	$(CMAKE) -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake >/dev/null
	$(CMAKE) --build $(BUILD)/win64 -j $(JOBS)

native: deps
	$(CMAKE) -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DQUILLET_WIN32_DIR=$(abspath $(BUILD))/win32 -DQUILLET_WIN64_DIR=$(abspath $(BUILD))/win64 \
	    -DQUILLET_DIST_DIR=$(abspath $(DIST)) -DPython3_EXECUTABLE=$(PYTHON) >/dev/null
	$(CMAKE) --build $(BUILD)/native -j $(JOBS)

# The setup's 64-bit build, $(BUILD)/setup-amd64, is for the tests only: it runs where 32-bit
# programs cannot. SHA256SUMS comes last, once everything that ships is there.
VERSION = $(shell cat $(BUILD)/win32/version.txt)
dist: win32 win64
	mkdir -p $(DIST)
	cp $(BUILD)/win32/quillet.scr $(DIST)/quillet.scr
	cp $(BUILD)/win64/quillet.scr $(DIST)/quillet64.scr
	$(PYTHON) tools/release/make_zip.py --dist $(DIST) --version-file $(BUILD)/win32/version.txt \
	    --readme tools/release/README.txt --license LICENSE --date $(or $(SOURCE_DATE_EPOCH),0)
	tools/release/make_setup.sh $(VERSION) $(DIST)/quillet.scr $(DIST)/quillet64.scr \
	    $(DIST)/quillet-$(VERSION)-setup.exe
	tools/release/make_setup.sh $(VERSION) $(DIST)/quillet.scr $(DIST)/quillet64.scr \
	    $(BUILD)/setup-amd64/quillet-$(VERSION)-setup-amd64.exe amd64
	rm -f $(filter-out $(DIST)/quillet-$(VERSION)-setup.exe,$(wildcard $(DIST)/quillet-*-setup.exe))
	$(PYTHON) tools/release/make_zip.py --dist $(DIST) --sums quillet.scr quillet64.scr \
	    quillet-$(VERSION).zip quillet-$(VERSION)-setup.exe
	@ls -l $(DIST)/quillet.scr $(DIST)/quillet64.scr
	@cat $(DIST)/SHA256SUMS

# ctest does not show what a skipped test printed; its reason is repeated once after the run.
# A test that fails is run once more: under Wine a window now and then never gets the keyboard
# (the full-screen saver in one of seven full runs, a settings dialog once before). What the
# failed try printed stays in the output, and each test that passed only the second time is
# named after the run, so a flaky test shows without stopping the whole run.
test: dist native
	cd $(BUILD)/native && { ctest --output-on-failure -j $(JOBS) -LE soak --repeat until-pass:2 \
	    $(CTEST_ARGS); status=$$?; log=Testing/Temporary/LastTest.log; \
	    grep -h -o 'QUILLET-SKIPPED: .*' $$log | sort -u; \
	    awk '/^[0-9]+\/[0-9]+ Test: /{name=$$3} /^Test Failed\./{failed[name]=1} \
	         /^Test Passed\./{if (failed[name]) print "QUILLET-FLAKY: " name \
	         " failed once and passed when run again"}' $$log; exit $$status; }

# 20 000 steps of 50 birds every 10 ms, steps counted in the saver's message trace, memory
# sampled from the first step to the last.
soak: dist native
	cd $(BUILD)/native && ctest --output-on-failure -V -L soak

# One table of latency, CPU against the blit reference, memory and sizes for both builds,
# also written to $(DIST)/bench.md. BENCH_ARGS="--repeats 1 --default-seconds 10" for a quick
# look; add "--only 64-bit" (or 32-bit) to measure one build.
BENCH_ARGS ?=
bench: dist
	$(HARNESS) tools/bench/bench.py --scr32 $(DIST)/quillet.scr --scr64 $(DIST)/quillet64.scr \
	    --reference32 $(BUILD)/win32/tools/bench/blit_reference.exe \
	    --reference64 $(BUILD)/win64/tools/bench/blit_reference.exe \
	    --helpers $(HELPERS64) \
	    --prefix $(abspath $(BUILD))/bench/prefix --out $(DIST)/bench.md $(BENCH_ARGS)

COMPAT_PREFIX := $(abspath $(BUILD))/compat/prefix
compat: dist
	QUILLET_WINE_PREFIX=$(COMPAT_PREFIX) $(HARNESS) tools/wine/quillet_wine.py setup-prefix
	QUILLET_WINE_PREFIX=$(COMPAT_PREFIX) $(HARNESS) tests/e2e/test_versions.py \
	    --table $(DIST)/compatibility.md --dist $(DIST) --build $(BUILD); \
	status=$$?; QUILLET_WINE_PREFIX=$(COMPAT_PREFIX) $(HARNESS) tools/wine/quillet_wine.py \
	    cleanup-prefix; exit $$status

# With a display the saver runs there until a key; without one it is recorded as
# $(DIST)/demo.gif and $(DIST)/demo.png. DEMO_ARGS=--capture records even with a display.
demo: dist
	$(HARNESS) tools/demo.py --scr32 $(DIST)/quillet.scr --scr64 $(DIST)/quillet64.scr \
	    --helpers $(HELPERS64) \
	    --sample-desktop $(BUILD)/win64/tools/sample_desktop/sample_desktop.exe \
	    --prefix $(abspath $(BUILD))/demo/prefix --out $(DIST) $(DEMO_ARGS)

# A longer fuzzing session by hand: FUZZ_SECONDS per target (default ten minutes).
FUZZ_SECONDS ?= 600
fuzz-long: native
	for t in run_mode settings; do \
	    (cd $(BUILD)/native/tests/fuzz && ./fuzz_$$t -max_total_time=$(FUZZ_SECONDS) \
	        -print_final_stats=1 corpus_$$t $(CURDIR)/tests/fuzz/seeds/$$t) || exit 1; \
	done

# The ctest entry `format` checks what this does.
format:
	tools/check-format.sh --fix

clean:
	rm -rf $(BUILD) $(DIST)
