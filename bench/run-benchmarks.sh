#!/usr/bin/env bash
# Whole-process figures of Tessik, side by side with their peers where there is one.
# Prints a table: median wall time (hyperfine), peak memory, and the ratio to the peer.
#
#   bash bench/run-benchmarks.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=7
[ "${1:-}" = "--quick" ] && runs=3

bash scripts/build.sh release >/dev/null
bin=$root/build/release
tessik=$bin/tool/tessik
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix  # An empty prefix: nothing of the user's is read.

if ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  echo "generating the en_US.UTF-8 locale for the sort peer" >&2
  sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen && locale-gen >/dev/null
fi

"$bin/bench/make_words" 1000000 30 1 >"$work/words.txt"
"$bin/bench/make_words" 200000 30 2 >"$work/remove.txt"

# median seconds of a command over N runs, from hyperfine's JSON
median() {
  local json=$work/h.json n=$1
  shift
  hyperfine -N --runs "$n" --warmup 3 --export-json "$json" "$@" >/dev/null 2>&1
  awk -F: '/"median"/ { gsub(/[ ,]/, "", $2); print $2; exit }' "$json"
}
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

printf '%-44s %12s %10s %12s %8s\n' "figure" "median" "peak MB" "peer" "ratio"
row() {  # name, seconds, peak KB, peer seconds
  local ratio="" peer=""
  if [ -n "$4" ]; then
    peer=$(awk -v s="$4" 'BEGIN { printf "%.4f s", s }')
    ratio=$(awk -v a="$2" -v b="$4" 'BEGIN { printf "%.2f", a / b }')
  fi
  printf '%-44s %10.4f s %10.1f %12s %8s\n' "$1" "$2" "$(awk -v k="$3" 'BEGIN { print k / 1024 }')" "$peer" "$ratio"
}

sort_peer=$(median "$runs" "env LC_ALL=en_US.UTF-8 sort -u $work/words.txt")
for switches in "/sa /od" "/sd /od /ci" "/remove /file $work/remove.txt"; do
  cmd="$tessik MakeList x /append /file $work/words.txt $switches"
  row "MakeList 1M words ${switches/$work\//}" "$(median "$runs" "$cmd")" "$(peak_kb $cmd)" "$sort_peer"
done

trivial=$(median 200 "$bin/bench/trivial")
row "PackageInfo start-up (peer: trivial C++)" \
  "$(median 200 "$tessik PackageInfo")" "$(peak_kb "$tessik" PackageInfo)" "$trivial"
row "MakeList c;a;b /sa (three items)" "$(median 200 "$tessik MakeList c;a;b /sa")" \
  "$(peak_kb "$tessik" MakeList 'c;a;b' /sa)" ""
