#!/usr/bin/env bash
# Times the store from VBScript under Wine against Scripting.Dictionary. Needs the win32 build
# (cmake --preset win32 && cmake --build --preset win32).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="$root/build/win32/wineprefix"
run="$root/scripts/wine-run.sh"
dll="$("$run" winepath -w "$root/build/win32/Quilmar.dll" | tr -d '\r')"
script="$("$run" winepath -w "$root/bench/script/store_vs_dictionary.vbs" | tr -d '\r')"
"$run" regsvr32 /s "$dll"
"$run" cscript.exe //nologo "$script" | tr -d '\r'
