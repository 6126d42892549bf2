#!/usr/bin/env bash
# Creates the Wine prefix named by WINEPREFIX once: crash dialogs off, so that a crashing test
# ends instead of waiting on an invisible window; the null graphics driver, so that message boxes
# are real modal windows (the tests capture and dismiss them) although there is no display.
# Run by wine-run.sh, which sets the Wine environment and names the loader in QUILMAR_WINE (the
# 64-bit one for a 64-bit prefix).
set -euo pipefail
: "${WINEPREFIX:?}" "${WINEARCH:?}" "${QUILMAR_WINE:?run by wine-run.sh}"
wine="$QUILMAR_WINE"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
ready="$WINEPREFIX/.quilmar-ready-2"  # bump when the settings below change
[ -f "$ready" ] && exit 0

# Each step's output is shown only when it fails, with its status: a prefix half made must not
# pass for a made one.
step() {
  local limit="$1" out status=0
  shift
  out="$(timeout "$limit" "$@" 2>&1)" || status=$?
  if [ "$status" -ne 0 ]; then
    printf '%s: "%s" failed with status %d while making the prefix %s:\n%s\n' \
      "$0" "$*" "$status" "$WINEPREFIX" "$out" >&2
    exit 1
  fi
}
step 300 "$wine" wineboot -i
step 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
step 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f
step 60 wineserver -w  # the driver takes effect when the server starts again
touch "$ready"
