#!/usr/bin/env bash
# Sorts the generated corpus with the native build and with the Windows build under Wine,
# and reports how far they agree: in the root order, and in Russian and Greek, whose
# collations would put their own script first. Fails unless texts of ASCII letters and
# digits (also with hyphens and apostrophes, or with Greek and Cyrillic letters) agree
# fully, in order, case and equality, in every one of these languages.
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
echo "corpus: $(wc -l <corpus.txt) lines"
# Wine takes the user's language from the C library's locale, which must exist; build
# the ones needed here rather than depend on what the machine has generated.
mkdir locales
export LOCPATH=$work/locales
unset LC_ALL LC_COLLATE
failed=0
for language in C ru_RU el_GR; do
  locale=$language.UTF-8
  [ "$language" = C ] || localedef -i "$language" -f UTF-8 "locales/$locale"
  echo "== LANG=$locale"
  LANG=$locale "$native" dump corpus.txt native.txt
  # Relative paths: Wine maps the working folder, not Unix paths given as arguments.
  LANG=$locale "$wine_run" "$windows" dump corpus.txt windows.txt
  LANG=$locale "$native" compare native.txt windows.txt || failed=1
done
exit $failed
