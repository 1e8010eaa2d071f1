# Tarnwick: build, test bed and tests.
#
#   make test                  native unit tests (ASan/UBSan), then Windows tests under Wine,
#                              then a short run of each fuzz target
#   make run                   Tarnwick.exe under Wine (your DISPLAY if set, else a private Xvfb)
#   make release               dist/Tarnwick-<version>.zip and dist/SHA256SUMS, built anew
#                              (<version>: git describe in a clone, else VERSION or 0.0.0-source)
#   make bench | fuzz | screenshots | clean
#   make test BUILD=build-x    a separate build folder (and Wine prefix), for parallel work
#
# Build folders: $(BUILD)/native (gcc, sanitizers), $(BUILD)/win32 (mingw-w64 i686),
# $(BUILD)/fuzz (clang, libFuzzer), $(BUILD)/release (the release's exe, built from empty),
# $(BUILD)/wineprefix (the test bed's Wine).

BUILD ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 120
FUZZ_SMOKE_SECONDS ?= 10

B := $(abspath $(BUILD))
NATIVE := $(B)/native
WIN := $(B)/win32
BED := scripts/testbed.sh --build $(B)
CTEST_WIN := ctest --test-dir $(WIN) --output-on-failure --timeout 600

# Configures a build folder once (later builds re-run CMake by themselves when needed).
# $(1): folder, $(2): extra CMake arguments.
define configure
	@if [ ! -f $(1)/build.ninja ]; then \
		cmake -S . -B $(1) -G Ninja $(2) || { rm -f $(1)/build.ninja; exit 1; }; \
	fi
endef

.PHONY: all deps native win32 tarnwick run test test-native test-win32 test-fuzz test-release release bench fuzz screenshots clean

all: native win32

deps:
	@scripts/deps.sh --locales $(B)/locale

native: deps
	$(call configure,$(NATIVE),-DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON)
	cmake --build $(NATIVE) -j $(JOBS)

win32: deps
	$(call configure,$(WIN),-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake)
	cmake --build $(WIN) -j $(JOBS)

tarnwick: deps
	$(call configure,$(WIN),-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake)
	cmake --build $(WIN) -j $(JOBS) --target Tarnwick

# Stays until the program exits (or Ctrl+C), then tears the bed down.
run: tarnwick
	$(BED) --display auto -- wine $(WIN)/Tarnwick.exe

# Every part runs even when an earlier one failed to build or pass; the exit code says
# whether any did.
test: deps
	@status=0; \
	$(MAKE) --no-print-directory native && $(MAKE) --no-print-directory test-native || status=1; \
	$(MAKE) --no-print-directory win32 && $(MAKE) --no-print-directory test-win32 || status=1; \
	$(MAKE) --no-print-directory test-fuzz || status=1; \
	$(MAKE) --no-print-directory test-release || status=1; \
	if [ $$status -ne 0 ]; then echo "make test: FAILED (see above)"; fi; \
	exit $$status

test-native:
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS) --timeout 600

# Benchmarks are built with everything else but run only by `make bench`.
test-win32:
	$(BED) -- $(CTEST_WIN) -j $(JOBS) -LE bench

test-fuzz:
	@scripts/fuzz.sh $(B) $(FUZZ_SMOKE_SECONDS)

# The release as a user gets it, built once (a build takes minutes on this machine);
# RELEASE_TWICE=1, set by CI, builds it a second time and wants the same bytes. Then the
# same from HEAD exported as a source archive, without git history (in a clone only).
RELEASE_TWICE ?=

test-release:
	@scripts/release.sh --build $(B)/release --out $(B)/release-dist
	@scripts/check-release.py $(B)/release-dist $(if $(RELEASE_TWICE),--again $(B)/release-again $(B)/release-again-dist)
	@scripts/check-source-archive.sh $(B)

release: deps
	@scripts/release.sh --build $(B)/release --out dist

# BENCH_CPU=N runs the whole test bed (X server, Wine's server, every program) on processor N
# alone. Under Wine most calls are round trips to the server, ten times dearer for a process
# that happens to sit on another processor than the server; one processor takes that chance
# out of the figures (README.md, Performance).
BENCH_CPU ?=

bench: win32
	$(if $(BENCH_CPU),taskset -c $(BENCH_CPU)) $(BED) -- $(CTEST_WIN) -L bench --verbose

fuzz: deps
	@scripts/fuzz.sh $(B) $(FUZZ_SECONDS)

screenshots: win32
	@scripts/screenshots.sh $(B)

clean:
	@case "$(B)" in "$(CURDIR)"|/|"") echo "refusing to remove $(B)"; exit 1;; esac
	rm -rf $(B)
