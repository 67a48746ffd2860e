#!/usr/bin/env bash
# Sorts the generated corpus with the native build and with the Windows build under Wine,
# and reports how far they agree. Fails unless texts of ASCII letters and digits (also with
# hyphens and apostrophes) agree fully, in order, case and equality.
# Usage: run-differential.sh NATIVE_COLLATION_DUMP WINDOWS_COLLATION_DUMP.exe
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 NATIVE_DUMP WIN_DUMP" >&2
  exit 2
fi
native=$(realpath "$1")
windows=$(realpath "$2")
wine_run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$native" corpus corpus.txt
"$native" dump corpus.txt native.txt
# Relative paths: Wine maps the working folder, not Unix paths given as arguments.
"$wine_run" "$windows" dump corpus.txt windows.txt
echo "corpus: $(wc -l <corpus.txt) lines"
"$native" compare native.txt windows.txt
