#!/usr/bin/env bash
# Times the whole-array members from VBScript under Wine, each script in its own cscript:
#   bench/run-array-bench.sh [32|64] [SCRIPT...]
# SCRIPT names a file of bench/script, with its argument after a colon (default: the three cases
# of sort_vs_quicksort.vbs, then load_vs_indata.vbs and keyat_vs_keys.vbs). 32, the default where
# this machine runs 32-bit programs, needs the win32 build; 64 the win64 one, and runs the 64-bit
# script host. Each script runs within QUILMAR_WINE_TIMEOUT seconds (default 900).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bits=""
case "${1:-}" in 32 | 64) bits="$1"; shift ;; esac
if [ -z "$bits" ]; then
  if "$root/scripts/runs-32bit.sh"; then bits=32; else bits=64; fi
fi
build="$root/build/win$bits"
export WINEARCH="win$bits" WINEPREFIX="$build/wineprefix"
[ -f "$build/Quilmar.dll" ] || { echo "$0: no $build/Quilmar.dll: build the win$bits preset" >&2; exit 1; }
[ $# -gt 0 ] || set -- sort_vs_quicksort.vbs:numbers sort_vs_quicksort.vbs:column \
  sort_vs_quicksort.vbs:table load_vs_indata.vbs keyat_vs_keys.vbs
run="$root/scripts/wine-run.sh"
export QUILMAR_WINE_TIMEOUT="${QUILMAR_WINE_TIMEOUT:-900}"
dll="$("$run" winepath -w "$build/Quilmar.dll" | tr -d '\r')"
"$run" regsvr32 /s "$dll"
echo "$bits-bit cscript, $build/Quilmar.dll"
for item in "$@"; do
  name="${item%%:*}"
  args=()
  [ "$name" = "$item" ] || args=("${item#*:}")
  script="$("$run" winepath -w "$root/bench/script/$name" | tr -d '\r')"
  echo "== $item"
  "$run" cscript.exe //nologo "$script" "${args[@]}" | tr -d '\r' ||
    echo "$item: ended with status $? (124: past the time limit)"
done
