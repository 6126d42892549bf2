#!/usr/bin/env bash
# Times the store from VBScript under Wine against Scripting.Dictionary.
#   bench/run-script-bench.sh [32|64]
# 32 (the default where this machine runs 32-bit programs) needs the win32 build (cmake --preset
# win32 && cmake --build --preset win32); 64 the win64 one, and runs the 64-bit script host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bits="${1:-}"
if [ -z "$bits" ]; then
  if "$root/scripts/runs-32bit.sh"; then bits=32; else bits=64; fi
fi
case "$bits" in
  32 | 64) build="$root/build/win$bits" ;;
  *) echo "usage: $0 [32|64]" >&2; exit 2 ;;
esac
export WINEARCH="win$bits" WINEPREFIX="$build/wineprefix"
[ -f "$build/Quilmar.dll" ] || { echo "$0: no $build/Quilmar.dll: build the win$bits preset" >&2; exit 1; }
run="$root/scripts/wine-run.sh"
export QUILMAR_WINE_TIMEOUT="${QUILMAR_WINE_TIMEOUT:-600}"
dll="$("$run" winepath -w "$build/Quilmar.dll" | tr -d '\r')"
script="$("$run" winepath -w "$root/bench/script/store_vs_dictionary.vbs" | tr -d '\r')"
"$run" regsvr32 /s "$dll"
echo "$bits-bit cscript, $build/Quilmar.dll"
"$run" cscript.exe //nologo "$script" | tr -d '\r'
