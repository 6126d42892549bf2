#!/usr/bin/env bash
# Runs an example script as a user would, with no prelude, and holds its whole output to the lines
# it promises:
#   example.sh WATCHER SCRIPT EXPECTED HOST BITS
# WATCHER is the box watcher (a box would be a failure, and is pressed so that nothing hangs),
# EXPECTED a file of the lines the script prints, HOST the script host of BITS bits. Run in the
# prefix named by WINEPREFIX.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../../scripts/wine-run.sh"
watcher="$1" script="$2" expected="$3" host="$4" bits="$5"

path="$("$wine_run" winepath -w "$script" | tr -d '\r')"
[ -n "$path" ] || { echo "FAIL: winepath gave no path for $script" >&2; exit 1; }
status=0
out="$("$wine_run" "$watcher" "$host" //nologo "$path" 2>&1 | tr -d '\r')" || status=$?
echo "$out"
failed=0
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status" >&2; failed=1; }
diff -u <(echo "CLIENT: $bits-bit"; cat "$expected") <(echo "$out") ||
  { echo "FAIL: the output differs from $expected" >&2; failed=1; }
exit "$failed"
