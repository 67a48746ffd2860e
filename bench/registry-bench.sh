#!/usr/bin/env bash
# The registry on a large prefix: tessik RegQuery of one HKLM value and RegAdd of one HKCU
# value, whole process, median wall time, beside wine reg query / add on the same prefix
# (its wineserver kept running between Wine's calls, as a user has it; stopped before
# Tessik's, which refuses to write while one runs).
#
#   bash bench/registry-bench.sh [RELEASE_BUILD_DIR]    (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/release}")
[ -x "$bin/tool/tessik" ] && [ -x "$bin/bench/make_prefix" ] || {
  echo "build first: cmake --preset release && cmake --build --preset release" >&2
  exit 1
}
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# A Wine prefix (a copy of the test prefix, made by scripts/wine-run) whose registry files
# get the generated keys: system.reg of 20 MB more, user.reg of 2 MB more.
template=${TESSIK_WINEPREFIX:-${TMPDIR:-/tmp}/tessik-wine-prefix-$(id -u)}
if command -v wine >/dev/null; then
  [ -f "$template/system.reg" ] || scripts/wine-run cmd /c exit >/dev/null 2>&1 || true
fi
mkdir -p "$WINEPREFIX"
"$bin/bench/make_prefix" "$work/generated" 20 2
for f in system.reg user.reg; do
  if [ -f "$template/$f" ]; then
    { cat "$template/$f"; tail -n +5 "$work/generated/$f"; } >"$WINEPREFIX/$f"
  else
    cp "$work/generated/$f" "$WINEPREFIX/$f"
  fi
done
if [ -d "$template/drive_c" ]; then
  cp -al "$template/drive_c" "$WINEPREFIX/" && cp -a "$template/dosdevices" "$template/.update-timestamp" "$WINEPREFIX/"
fi
printf 'system.reg %s bytes, %s keys; user.reg %s bytes\n' "$(stat -c %s "$WINEPREFIX/system.reg")" \
  "$(grep -c '^\[' "$WINEPREFIX/system.reg")" "$(stat -c %s "$WINEPREFIX/user.reg")"

median() {  # seconds, median of hyperfine's runs
  hyperfine -N -i --runs 15 --warmup 2 --export-json "$work/h.json" "$@" >"$work/h.log" 2>&1 || cat "$work/h.log" >&2
  awk -F: '/"median"/ { gsub(/[ ,]/, "", $2); printf "%.1f", $2 * 1000; exit }' "$work/h.json"
}

query="$bin/tool/tessik RegQuery HKLM\\Software\\Embarcadero\\BDS\\22.0 RootDir"
add="$bin/tool/tessik RegAdd HKCU\\Environment /v TessikBench /d C:\\x"
wine_query="" wine_add=""
if command -v wine >/dev/null && [ -d "$WINEPREFIX/drive_c" ]; then
  wine reg query 'HKLM\Software\Embarcadero\BDS\22.0' /v RootDir /reg:32 >/dev/null  # starts the server
  wine_query=$(median "wine reg query HKLM\\Software\\Embarcadero\\BDS\\22.0 /v RootDir /reg:32")
  wine_add=$(median "wine reg add HKCU\\Environment /v WineBench /d C:\\x /f")
  wineserver -k && wineserver -w
fi
tessik_query=$(median "$query")
tessik_add=$(median "$add")
$query
printf '%-40s %10s %12s %8s\n' figure "tessik ms" "wine ms" ratio
row() {
  local ratio=""
  [ -n "$3" ] && ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", a / b }')
  printf '%-40s %10s %12s %8s\n' "$1" "$2" "${3:--}" "$ratio"
}
row "RegQuery of one HKLM value (20 MB)" "$tessik_query" "$wine_query"
row "RegAdd of one HKCU value (2 MB)" "$tessik_add" "$wine_add"
