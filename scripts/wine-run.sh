#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (WINEPREFIX, made on first use),
# with a time limit so that nothing can hang the test run.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix inside the build folder}"
export WINEPREFIX
export WINEARCH="${WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$(dirname "$0")/wine-prefix.sh"
exec timeout --kill-after=10 "${QUILMAR_WINE_TIMEOUT:-600}" wine "$@"
