#!/usr/bin/env bash
# Builds and runs every test: the formatting check, native debug, an optimised native build,
# sanitizers, and the Windows build under Wine (its unit tests, and the command-line corpus
# against Tessik.exe), then a short run of every fuzz target. Warnings are errors in every
# build here (the presets set CMAKE_COMPILE_WARNING_AS_ERROR).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export TESSIK_WINEPREFIX=${TESSIK_WINEPREFIX:-${TMPDIR:-/tmp}/tessik-wine-prefix-$(id -u)}
jobs=$(nproc)

echo "== Formatting"
scripts/check-format.sh
echo "== Windows build (mingw-w64)"
scripts/build.sh win
echo "== Native debug build"
scripts/build.sh debug -DTESSIK_WIN_BUILD_DIR="$root/build/win"
echo "== Optimised native build"
scripts/build.sh optimized
echo "== Sanitizer build"
scripts/build.sh asan

status=0
echo "== Native tests (with the corpus on both builds)"
ctest --preset debug -j "$jobs" || status=1
echo "== The README's demonstration"
TESSIK_EXE=build/optimized/tool/tessik bash scripts/demo.sh >/dev/null || status=1
echo "== Optimised native tests"
# The cross-checks with real Wine ran in the debug build; they test Wine, not the optimiser.
ctest --preset optimized -j "$jobs" -E 'registry_wine_tests|install_wine_tests' || status=1
echo "== Sanitizer tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$jobs" || status=1
echo "== Windows tests under Wine"
ctest --preset win || status=1
echo "== Fuzz targets, 20 s each"
bash fuzz/run-fuzzers.sh 20 || status=1
exit $status
