# Front door: every target calls CMake and ctest.
#   make test  installs what is missing, builds all three builds and runs every test
#   make dist  leaves dist/quillet.scr (32-bit) and dist/quillet64.scr (64-bit)
#   make demo  shows the saver running under Wine
BUILD   ?= build
DIST    ?= dist
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE   := cmake
CTEST_ARGS ?=

.PHONY: all deps dist test demo clean win32 win64 native fuzz-long

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
	    -DQUILLET_WIN64_DIR=$(abspath $(BUILD))/win64 -DQUILLET_DIST_DIR=$(abspath $(DIST)) >/dev/null
	$(CMAKE) --build $(BUILD)/native -j $(JOBS)

dist: win32 win64
	mkdir -p $(DIST)
	cp $(BUILD)/win32/quillet.scr $(DIST)/quillet.scr
	cp $(BUILD)/win64/quillet.scr $(DIST)/quillet64.scr
	@ls -l $(DIST)/quillet.scr $(DIST)/quillet64.scr

test: dist native
	cd $(BUILD)/native && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: dist
	@echo "The full-screen demo arrives with the flock; for now: make dist"

# A longer fuzzing session by hand: FUZZ_SECONDS per target (default ten minutes).
FUZZ_SECONDS ?= 600
fuzz-long: native
	for t in run_mode settings; do \
	    (cd $(BUILD)/native/tests/fuzz && ./fuzz_$$t -max_total_time=$(FUZZ_SECONDS) \
	        -print_final_stats=1 corpus_$$t $(CURDIR)/tests/fuzz/seeds/$$t) || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(DIST)
