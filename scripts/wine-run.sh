#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (WINEPREFIX, made on first use),
# with a time limit so that nothing can hang the test run.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix inside the build folder}"
export WINEPREFIX
export WINEARCH="${WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=wine
if [ "$WINEARCH" = win64 ]; then
  # Debian's wine launcher starts a program named without a path (cscript, regsvr32, reg) as the
  # 32-bit one; the 64-bit loader starts the 64-bit one, and still runs 32-bit files as 32-bit.
  wine="$(dpkg -L wine64 2>/dev/null | grep '/lib/.*/wine64$' || true)"
  [ -x "$wine" ] || { echo "$0: the 64-bit Wine loader (package wine64) is missing" >&2; exit 127; }
fi
# The prefix is made by the same loader, so a 64-bit prefix needs no 32-bit one.
QUILMAR_WINE="$wine" "$(dirname "$0")/wine-prefix.sh"
exec timeout --kill-after=10 "${QUILMAR_WINE_TIMEOUT:-600}" "$wine" "$@"
