#!/usr/bin/env bash
# Whole-process figures of Tessik, side by side with their peers where there is one:
# median wall time (hyperfine), peak memory, and the ratio to the peer (GNU sort -u, a
# trivial C++ program, wine reg). The in-process benchmarks are build/release/bench/tessik_bench.
#
#   bash bench/run-benchmarks.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=7
[ "${1:-}" = "--quick" ] && runs=3
# Commands of a few milliseconds run more often: on a shared machine a busy second would
# otherwise take most of their runs.
short_runs=$((runs * 7))

bash scripts/build.sh release >/dev/null
bin=$root/build/release
tessik=$bin/tool/tessik
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all  # A prefix of its own: nothing of the user's.

if ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  echo "generating the en_US.UTF-8 locale for the sort peer" >&2
  sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen && locale-gen >/dev/null
fi

# median seconds of a command over N runs, from hyperfine's JSON. hyperfine splits the
# command as a shell would: backslashes belong in single quotes.
median() {
  local json=$work/h.json n=$1
  shift
  hyperfine -N --runs "$n" --warmup 3 --export-json "$json" "$@" >/dev/null 2>&1
  awk -F: '/"median"/ { gsub(/[ ,]/, "", $2); print $2; exit }' "$json"
}
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

printf '%-46s %11s %9s %11s %7s\n' "figure" "median" "peak MB" "peer" "ratio"
row() {  # name, seconds, peak KB, peer seconds
  local ratio="" peer=""
  if [ -n "$4" ]; then
    peer=$(awk -v s="$4" 'BEGIN { printf "%.4f s", s }')
    ratio=$(awk -v a="$2" -v b="$4" 'BEGIN { printf "%.2f", a / b }')
  fi
  printf '%-46s %9.4f s %9.1f %11s %7s\n' "$1" "$2" "$(awk -v k="$3" 'BEGIN { print k / 1024 }')" \
    "$peer" "$ratio"
}

# MakeList over a million words against GNU sort -u (both cores) in the en_US locale.
"$bin/bench/make_words" 1000000 30 1 >"$work/words.txt"
"$bin/bench/make_words" 200000 30 2 >"$work/remove.txt"
sort_peer=$(median "$runs" "env LC_ALL=en_US.UTF-8 sort -u $work/words.txt")
for switches in "/sa /od" "/sd /od /ci" "/remove /file $work/remove.txt"; do
  cmd="$tessik MakeList x /append /file $work/words.txt $switches"
  row "MakeList 1M words ${switches/$work\//}" "$(median "$runs" "$cmd")" "$(peak_kb $cmd)" \
    "$sort_peer"
done

# Start-up against a trivial C++ program started the same way.
trivial=$(median 300 "$bin/bench/trivial")
row "PackageInfo (peer: trivial C++ program)" "$(median 300 "$tessik PackageInfo")" \
  "$(peak_kb "$tessik" PackageInfo)" "$trivial"
row "MakeList c;a;b /sa (peer: PackageInfo)" "$(median 300 "$tessik MakeList c;a;b /sa")" \
  "$(peak_kb "$tessik" MakeList 'c;a;b' /sa)" "$(median 300 "$tessik PackageInfo")"

# The IDE operations on a large prefix: 20 MB system.reg, 2 MB user.reg, all twenty-six IDEs
# registered with full path settings, run from a library tree.
# With Wine at hand the prefix starts as a copy of the test prefix (scripts/wine-run makes
# it), so that wine reg can run on it as the peer of RegQuery and RegAdd.
template=${TESSIK_WINEPREFIX:-${TMPDIR:-/tmp}/tessik-wine-prefix-$(id -u)}
have_wine=""
if command -v wine >/dev/null; then
  [ -f "$template/system.reg" ] || scripts/wine-run cmd /c exit >/dev/null 2>&1 || true
  [ -f "$template/system.reg" ] && have_wine=1
fi
"$bin/bench/make_prefix" "$work/generated" 20 2 >/dev/null
mkdir -p "$WINEPREFIX"
for f in system.reg user.reg; do
  if [ -n "$have_wine" ]; then
    { cat "$template/$f"; tail -n +5 "$work/generated/$f"; } >"$WINEPREFIX/$f"
  else
    cp "$work/generated/$f" "$WINEPREFIX/$f"
  fi
done
if [ -n "$have_wine" ]; then
  cp -al "$template/drive_c" "$WINEPREFIX/"
  cp -a "$template/dosdevices" "$template/.update-timestamp" "$WINEPREFIX/"
fi
mkdir -p "$work/qor/bin/tool" "$WINEPREFIX/drive_c" "$WINEPREFIX/dosdevices"
ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
cp "$tessik" "$work/qor/bin/tool/tessik"
ide=$work/qor/bin/tool/tessik
codes=(c5 c6 d5 d6 d7 d2005 d2006 d2007 d2009 d2010 d2011 d2012 d2013 d2014 dxe5 dxe6 dxe7 dxe8 d10 d10_1
       d10_2 d10_3 d10_4 d11 d12 d13)
keys=("Borland\\C++Builder\\5.0" "Borland\\C++Builder\\6.0" "Borland\\Delphi\\5.0" "Borland\\Delphi\\6.0"
      "Borland\\Delphi\\7.0" "Borland\\BDS\\3.0" "Borland\\BDS\\4.0" "Borland\\BDS\\5.0" "CodeGear\\BDS\\6.0"
      "CodeGear\\BDS\\7.0" "Embarcadero\\BDS\\8.0" "Embarcadero\\BDS\\9.0" "Embarcadero\\BDS\\10.0"
      "Embarcadero\\BDS\\11.0" "Embarcadero\\BDS\\12.0" "Embarcadero\\BDS\\14.0" "Embarcadero\\BDS\\15.0"
      "Embarcadero\\BDS\\16.0" "Embarcadero\\BDS\\17.0" "Embarcadero\\BDS\\18.0" "Embarcadero\\BDS\\19.0"
      "Embarcadero\\BDS\\20.0" "Embarcadero\\BDS\\21.0" "Embarcadero\\BDS\\22.0" "Embarcadero\\BDS\\23.0"
      "Embarcadero\\BDS\\37.0")
for i in "${!codes[@]}"; do
  code=${codes[$i]} key="HKCU\\Software\\${keys[$i]}"
  mkdir -p "$WINEPREFIX/drive_c/IDE/$code/bin" "$work/qor/lib/$code/Win32/Release"
  touch "$WINEPREFIX/drive_c/IDE/$code/bin/dcc64.exe" "$work/qor/lib/$code/Win32/Release/qor5cdt_$code.bpl" \
    "$WINEPREFIX/drive_c/IDE/$code/bin/default.bpr" "$WINEPREFIX/drive_c/IDE/$code/bin/defproj.dof"
  if [ "$code" = d12 ] || [ "$code" = d13 ]; then  # the 64-bit IDE, with its own package list
    mkdir -p "$WINEPREFIX/drive_c/IDE/$code/bin64" "$work/qor/lib/$code/Win64/Release"
    touch "$WINEPREFIX/drive_c/IDE/$code/bin64/bds.exe" "$work/qor/lib/$code/Win64/Release/qor5cdt_$code.bpl"
    "$ide" RegAdd "$key\\Known Packages x64" /v "C:\\IDE\\$code\\bin64\\dclstd.bpl" /d "Standard"
  fi
  "$ide" RegAdd "$key" /v RootDir /d "C:\\IDE\\$code"
  "$ide" RegAdd "$key\\Known Packages" /v "C:\\IDE\\$code\\bin\\dclstd.bpl" /d "Standard"
  "$ide" RegAdd "$key\\Environment Variables" /v Path /d "C:\\Tools;C:\\More"
  for sub in Library "Library\\Win32" "Library\\Win64" "C++\\Paths\\Win32" CppPaths; do
    for value in "Search Path" "Browsing Path" "Debug DCU Path" "Package Search Path" IncludePath LibraryPath; do
      "$ide" RegAdd "$key\\$sub" /v "$value" /d "\$(BDS)\\lib;C:\\Components\\lib"
    done
  done
done
printf '  (prefix: system.reg %s MB, user.reg %s MB)\n' \
  "$(( $(stat -c %s "$WINEPREFIX/system.reg") >> 20 ))" "$(( $(stat -c %s "$WINEPREFIX/user.reg") >> 20 ))"
"$ide" RegQuery 'HKLM\Software\Embarcadero\BDS\22.0' RootDir | grep -q RootDir ||
  echo "warning: the generated prefix lacks the value that RegQuery reads" >&2
# The peers: wine reg on the same prefix, its wineserver kept running between Wine's calls
# as a user has it, and stopped before Tessik's runs (Tessik refuses to write meanwhile).
wine_query="" wine_add=""
if [ -n "$have_wine" ]; then
  wine reg query 'HKLM\Software\Embarcadero\BDS\22.0' /v RootDir /reg:32 >/dev/null 2>&1
  wine_query=$(median "$runs" "wine reg query 'HKLM\Software\Embarcadero\BDS\22.0' /v RootDir /reg:32")
  wine_add=$(median "$runs" "wine reg add 'HKCU\Environment' /v WineBench /d 'C:\x' /f")
  wineserver -k && wineserver -w
fi
# The limits: one read of the hive files.
cat_system=$(median "$short_runs" "cat $WINEPREFIX/system.reg")
cat_both=$(median "$short_runs" "cat $WINEPREFIX/system.reg $WINEPREFIX/user.reg")
query=$(median "$short_runs" "$ide RegQuery 'HKLM\Software\Embarcadero\BDS\22.0' RootDir")
query_kb=$(peak_kb "$ide" RegQuery 'HKLM\Software\Embarcadero\BDS\22.0' RootDir)
row "RegQuery of one HKLM value (peer: cat system.reg)" "$query" "$query_kb" "$cat_system"
row "RegQuery of one HKLM value (peer: wine reg)" "$query" "$query_kb" "$wine_query"
row "RegAdd of one HKCU value (2 MB user.reg)" \
  "$(median "$runs" "$ide RegAdd 'HKCU\Environment' /v TessikBench /d 'C:\x'")" \
  "$(peak_kb "$ide" RegAdd 'HKCU\Environment' /v TessikBench /d 'C:\x')" "$wine_add"
row "Report All (peer: cat system.reg user.reg)" "$(median "$short_runs" "$ide Report All")" \
  "$(peak_kb "$ide" Report All)" "$cat_both"
cp "$WINEPREFIX/user.reg" "$work/user.reg.before"
install_runs=() uninstall_runs=()
for _ in $(seq "$runs"); do
  start=$(date +%s.%N); "$ide" Install All >/dev/null; mid=$(date +%s.%N)
  "$ide" Uninstall All >/dev/null; end=$(date +%s.%N)
  install_runs+=("$(awk -v a="$start" -v b="$mid" 'BEGIN { print b - a }')")
  uninstall_runs+=("$(awk -v a="$mid" -v b="$end" 'BEGIN { print b - a }')")
done
med() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
row "Install All (26 IDEs; peer: cat both hives)" "$(med "${install_runs[@]}")" \
  "$(peak_kb "$ide" Install All)" "$cat_both"
row "Uninstall All (peer: cat both hives)" "$(med "${uninstall_runs[@]}")" \
  "$(peak_kb "$ide" Uninstall All)" "$cat_both"

# The search word parser, in process: the median of several rounds, as for the commands.
"$bin/bench/tessik_bench" --benchmark_filter=BM_ParseTexts --benchmark_min_time=0.2 \
  --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true 2>/dev/null |
  awk '/_median .*items_per_second/ {
  for (i = 1; i <= NF; i++) if ($i ~ /items_per_second/) { v = $i; sub(/.*=/, "", v) }
  printf "%-46s %s texts/s\n", "Search word parser (" $1 ")", v }'
