#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 20)
# from its seed corpus in fuzz/corpus/<target>. Exits non-zero on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTESSIK_FUZZ=ON -DTESSIK_TESTS=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target fuzz_split fuzz_quotes fuzz_command_line \
  fuzz_word_parser
for target in fuzz_split fuzz_quotes fuzz_command_line fuzz_word_parser; do
  corpus=fuzz/corpus/$target
  mkdir -p "$corpus" "build/fuzz/found/$target"
  extra=()
  [ "$target" = fuzz_word_parser ] && extra=(-max_len=256)
  echo "== $target ($seconds s)"
  build/fuzz/fuzz/$target -max_total_time="$seconds" -print_final_stats=1 "${extra[@]}" \
    -artifact_prefix="build/fuzz/found/$target/" "build/fuzz/found/$target" "$corpus" 2>&1 |
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
  [ -z "$(ls -A "build/fuzz/found/$target" | grep -E '^(crash|leak|timeout|oom)-' || true)" ] || {
    echo "$target found a failing input in build/fuzz/found/$target" >&2
    exit 1
  }
done
