#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix (WINEPREFIX, made on first use),
# with a time limit so that nothing can hang the test run.
#   wine-run.sh PROGRAM [ARGUMENTS]   runs the program
#   wine-run.sh --hold-server         starts a wineserver that stays up until released, for a
#                                     caller that runs several programs (export
#                                     QUILMAR_WINESERVER_HELD=1 for those calls)
#   wine-run.sh --release-server      stops it, and returns once it has saved the registry
#
# Debian's wineserver exits as soon as the last program of the prefix ends, so consecutive
# programs each start a server, and a program starting while the previous server is still
# exiting races it. Each call therefore waits until no server is going down, unless the caller
# holds one for all its calls.
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
export QUILMAR_WINE="$wine"
"$(dirname "$0")/wine-prefix.sh"

# Waits until the prefix has no wineserver: one that is exiting has then saved the registry.
no_server() {
  timeout 120 wineserver -w ||
    { echo "$0: the wineserver of $WINEPREFIX did not end within 120 s" >&2; exit 1; }
}

case "${1:-}" in
  --hold-server)
    no_server
    wineserver -p || { echo "$0: no wineserver could be started for $WINEPREFIX" >&2; exit 1; }
    exit 0
    ;;
  --release-server)
    wineserver -k || true  # none running is fine
    no_server
    exit 0
    ;;
esac
[ -n "${QUILMAR_WINESERVER_HELD:-}" ] || no_server
exec timeout --kill-after=10 "${QUILMAR_WINE_TIMEOUT:-600}" "$wine" "$@"
