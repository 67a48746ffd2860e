#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 20)
# from its seed corpus in fuzz/corpus/<target>, with fuzz/<target>.dict when there is one.
# New inputs and findings go to build/fuzz/found/<target>. Exits non-zero on a finding.
# Usage: fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
all=(fuzz_split fuzz_quotes fuzz_command_line fuzz_word_parser fuzz_registry_file
  fuzz_purge_excluded)
[ $# -gt 0 ] && targets=("$@") || targets=("${all[@]}")
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTESSIK_FUZZ=ON -DTESSIK_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]}"
status=0
for target in "${targets[@]}"; do
  found=build/fuzz/found/$target
  mkdir -p "$found"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$found/")
  # The word parser's work grows with the square of a word's parts: keep inputs short.
  [ "$target" = fuzz_word_parser ] && options+=(-max_len=256)
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  echo "== $target ($seconds s)"
  # Only what this run finds counts. An earlier finding lies in the corpus folder, so it
  # runs again and is found again while it still fails.
  started=$found.started
  touch "$started"
  build/fuzz/fuzz/$target "${options[@]}" "$found" "fuzz/corpus/$target" >"$found.log" 2>&1 || true
  grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "$found.log" || true
  if [ -n "$(find "$found" -maxdepth 1 -newer "$started" \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' -o -name 'slow-unit-*' \) -print -quit)" ]; then
    echo "$target found a failing input in $found (log: $found.log)" >&2
    status=1
  fi
done
exit $status
