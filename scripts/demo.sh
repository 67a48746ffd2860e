#!/usr/bin/env bash
# Shows what Tessik is for, on a registry prefix of its own (never the user's): a library
# tree (examples/library) with the program in its bin\tool folder, one registered IDE, then
# Install, Report and Uninstall of that version. Needs the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${TESSIK_EXE:-build/release/tool/tessik}
version=d12
root_key='Software\Embarcadero\BDS\23.0'

work=$(mktemp -d "${TMPDIR:-/tmp}/tessik-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix
mkdir -p "$WINEPREFIX/drive_c/Demo IDE/bin" "$WINEPREFIX/drive_c/Demo IDE/lib/win32/release" \
  "$WINEPREFIX/dosdevices"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
: >"$WINEPREFIX/drive_c/Demo IDE/bin/bds.exe"
: >"$WINEPREFIX/drive_c/Demo IDE/lib/win32/release/vcl.dcp"
cp -r examples/library "$work/Qorvium"
mkdir -p "$work/Qorvium/bin/tool"
cp "$exe" "$work/Qorvium/bin/tool/tessik"
tessik() { "$work/Qorvium/bin/tool/tessik" "$@" | tr -d '\r'; }

tessik RegAdd "HKCU\\$root_key" /v RootDir /d 'C:\Demo IDE'
tessik RegAdd "HKCU\\$root_key" /v Version /d 'Demo'
echo "### tessik Install $version"
tessik Install "$version"
echo
echo "### tessik Report $version"
tessik Report "$version"
echo
echo "### tessik Uninstall $version"
tessik Uninstall "$version"
