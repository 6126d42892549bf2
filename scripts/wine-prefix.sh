#!/usr/bin/env bash
# Creates the Wine prefix named by WINEPREFIX once: crash dialogs off, so that a crashing test
# ends instead of waiting on an invisible window; the null graphics driver, so that message boxes
# are real modal windows (the tests capture and dismiss them) although there is no display.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEARCH="${WINEARCH:-win32}" WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
wine="${QUILMAR_WINE:-wine}"
ready="$WINEPREFIX/.quilmar-ready-2"  # bump when the settings below change
[ -f "$ready" ] && exit 0
timeout 300 "$wine" wineboot -i >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
timeout 60 wineserver -w  # the driver takes effect when the server starts again
touch "$ready"
