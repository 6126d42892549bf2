#!/usr/bin/env bash
# Builds Quilmar and runs the demo clients: the native one, then the 64-bit Quilmar.dll registered
# in the project's 64-bit Wine prefix with a C++ client and a VBScript that sorts the lines of a
# file and looks one up (64-bit, as a script host on 64-bit Windows is; it runs where no 32-bit
# program can).
# Installs what a fresh Debian machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quilmar_demo
echo "== native client"
build/native/examples/quilmar_demo

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Quilmar quilmar_client
export WINEPREFIX="$PWD/build/win64/wineprefix" WINEARCH=win64
export QUILMAR_WINE_TIMEOUT=120
wine_run=scripts/wine-run.sh
windows_path() { "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
"$wine_run" regsvr32 /s "$(windows_path build/win64/Quilmar.dll)"
echo "== Quilmar.dll registered in $WINEPREFIX; C++ client (CoCreateInstance by ProgID)"
"$wine_run" build/win64/examples/quilmar_client.exe | tr -d '\r'
echo "== VBScript: cscript sort_lines.vbs examples/lines.txt /n (For Each over the sorted lines,"
echo "   line numbers from the payloads)"
"$wine_run" cscript.exe //nologo "$(windows_path examples/sort_lines.vbs)" \
  "$(windows_path examples/lines.txt)" /n | tr -d '\r'
for from in apple b; do
  echo "== VBScript: cscript sort_lines.vbs examples/lines.txt /n /from:$from (Exists, then Seek)"
  "$wine_run" cscript.exe //nologo "$(windows_path examples/sort_lines.vbs)" \
    "$(windows_path examples/lines.txt)" /n "/from:$from" | tr -d '\r'
done
