#!/usr/bin/env bash
# Runs the Windows-side checks of Quilmar.dll under Wine, in the prefix named by WINEPREFIX.
#   harness.sh exports OBJDUMP DLL          exports, ordinals and imports of the file
#   harness.sh registration DLL EXPECTED    regsvr32 and regsvr32 /u, and what the registry holds
#   harness.sh script WATCHER PRELUDE VBS   a VBScript client run by cscript under the box watcher
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../scripts/wine-run.sh"
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

windows_path() {
  "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'
}

check_exports() {
  local dump
  dump="$("$1" -p "$2")"
  # Names with ordinals, in the order the export table lists them.
  local exports
  exports="$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {exit}
                  on {print $NF}' <<<"$dump" | tr '\n' ' ')"
  [ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
    fail "exports: $exports"
  local ordinals
  ordinals="$(sed -n -e 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/base \1/p' \
                     -e 's/.*+base\[ *\([0-9]*\)\].*/\1/p' <<<"$dump" | tr '\n' ' ')"
  [ "$ordinals" = "base 1 1 2 3 4 " ] || fail "ordinal base and ordinals: $ordinals"
  grep -q '^Name .* Quilmar.dll$' <<<"$dump" || fail "the export directory's name"
  local imports
  imports="$(awk '/DLL Name:/ {print toupper($3)}' <<<"$dump" | sort | tr '\n' ' ')"
  [ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL " ] ||
    fail "imports: $imports"
}

# The registry under each of our roots as lines "key|name|type|data" (a key alone: "key").
registry_dump() {
  local root
  for root in 'CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}' 'Quilmar.clsAVLt' \
      'TypeLib\{24CECA7A-C296-403C-8BAE-D3A4E486F939}' \
      'Interface\{6B639371-3311-4051-9729-7342867E85BE}'; do
    "$wine_run" reg query "HKEY_CLASSES_ROOT\\$root" /s 2>/dev/null | tr -d '\r' |
      awk -F '    ' '/^HKEY/ {key = $0; print key; next}
                     /^    / {print key "|" $2 "|" $3 "|" $4}' || true
  done
}

check_registration() {
  local dll expected
  dll="$(windows_path "$1")"
  expected="$(sed "s|@DLL@|${dll//\\/\\\\}|" "$2")"
  "$wine_run" regsvr32 /s "$dll" || fail "regsvr32 returned $?"
  diff -u <(echo "$expected") <(registry_dump) || fail "registry after regsvr32"
  "$wine_run" regsvr32 /u /s "$dll" || fail "regsvr32 /u returned $?"
  local left
  left="$(registry_dump)"
  [ -z "$left" ] || fail "left after regsvr32 /u: $left"
  "$wine_run" regsvr32 /u /s "$dll" || fail "regsvr32 /u of what is gone returned $?"
  # The clients that run next need it registered.
  "$wine_run" regsvr32 /s "$dll" || fail "regsvr32 again returned $?"
}

# The script runs with the prelude in front; it passes when cscript printed the summary line
# with no failure, exited with 0 failures, and showed exactly the boxes its "' box:" lines list.
check_script() {
  local watcher="$1" prelude="$2" script="$3"
  local joined="$PWD/$(basename "$script")" log status=0
  cat "$prelude" "$script" >"$joined"
  log="$("$wine_run" "$watcher" cscript.exe //nologo "$(windows_path "$joined")" 2>&1 |
         tr -d '\r')" || status=$?
  echo "$log"
  [ "$status" -eq 0 ] || fail "exit status $status"
  grep -Eq '^SUMMARY: [0-9]+ checks, 0 failed$' <<<"$log" || fail "no clean summary line"
  diff -u <(sed -n "s/^' box: //p" "$script") <(sed -n 's/^BOX: //p' <<<"$log") ||
    fail "message boxes"
}

case "${1:-}" in
  exports) check_exports "$2" "$3" ;;
  registration) check_registration "$2" "$3" ;;
  script) check_script "$2" "$3" "$4" ;;
  *) echo "usage: $0 exports|registration|script ..." >&2; exit 2 ;;
esac
exit "$failed"
