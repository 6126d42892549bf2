#!/usr/bin/env bash
# Runs the Windows-side checks of Quilmar.dll under Wine, in the prefix named by WINEPREFIX.
#   harness.sh exports OBJDUMP DLL [FORMAT]     exports, ordinals and imports of the file, and
#                                               its format (pei-i386, pei-x86-64)
#   harness.sh registration DLL EXPECTED PLATFORM
#                                               regsvr32 and regsvr32 /u, and what the registry
#                                               holds (PLATFORM: win32 or win64, the DLL's)
#   harness.sh side-by-side DLL64 DLL32 EXPECTED PROBE
#                                               both registered, each unregistered alone, in
#                                               both orders: both registry views, and which
#                                               script host can still create the object
#   harness.sh unregister BITS DLL              regsvr32 /u of that bitness
#   harness.sh script WATCHER PRELUDE VBS [HOST BITS]
#                                               a VBScript client run by cscript (or HOST) under
#                                               the box watcher, in a BITS-bit process
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
  [ -z "${3:-}" ] || grep -q "file format $3\$" <<<"$dump" || fail "not a $3 file"
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

# The programs of one bitness in a 64-bit prefix: the 64-bit ones in system32, the 32-bit ones in
# syswow64.
system_program() {
  if [ "$1" = 64 ]; then echo "C:\\windows\\system32\\$2"; else echo "C:\\windows\\syswow64\\$2"; fi
}

# The registry under each of our roots as lines "key|name|type|data" (a key alone: "key"), as a
# process of the given bitness (32 or 64, in a 64-bit prefix) sees it; without one, as reg does.
# (Wine's reg /reg:32 does not find the keys that both views share.)
registry_dump() {
  local root reg=reg
  [ -z "${1:-}" ] || reg="$(system_program "$1" reg.exe)"
  for root in 'CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}' 'Quilmar.clsAVLt' \
      'TypeLib\{24CECA7A-C296-403C-8BAE-D3A4E486F939}' \
      'Interface\{6B639371-3311-4051-9729-7342867E85BE}'; do
    "$wine_run" "$reg" query "HKEY_CLASSES_ROOT\\$root" /s 2>/dev/null | tr -d '\r' |
      awk -F '    ' '/^HKEY/ {key = $0; print key; next}
                     /^    / {print key "|" $2 "|" $3 "|" $4}' || true
  done
}

# What one registry view should hold, from the EXPECTED file: CLASS is the file this view's class
# leads to (empty: no class here), ANY_CLASS is non-empty when either view has the class (the
# programmatic identifier is shared), and each further PLATFORM=FILE is an entry of the type
# library (its key and the interface's entries are shared). Windows paths go through ENVIRON, as
# awk would read their backslashes as escapes.
expected_view() {
  local expected="$1"
  CLASS="$2" ANY_CLASS="$3" ENTRIES="$(printf '%s\n' "${@:4}")" awk '
    function put(line, from, to,   at) {
      while ((at = index(line, from)) > 0)
        line = substr(line, 1, at - 1) to substr(line, at + length(from))
      return line
    }
    function flush(   e, i, pair, eq) {
      for (e = 1; e <= count; ++e) {
        eq = index(entry[e], "=")
        for (i = 1; i <= held; ++i) {
          pair = put(group[i], "@PLATFORM@", substr(entry[e], 1, eq - 1))
          print put(pair, "@DLL@", substr(entry[e], eq + 1))
        }
      }
      held = 0
    }
    BEGIN { count = split(ENVIRON["ENTRIES"], entry, "\n") }
    /@PLATFORM@/ { group[++held] = $0; next }
    { flush() }
    /^HKEY_CLASSES_ROOT\\CLSID\\/ { if (ENVIRON["CLASS"] != "") print put($0, "@DLL@", ENVIRON["CLASS"]); next }
    /^HKEY_CLASSES_ROOT\\Quilmar\.clsAVLt/ { if (ENVIRON["ANY_CLASS"] != "") print; next }
    { if (count > 0) print }
    END { flush() }' "$expected"
}

check_registration() {
  local dll expected
  dll="$(windows_path "$1")"
  expected="$(expected_view "$2" "$dll" yes "$3=$dll")"
  if [ "$3" = win64 ]; then
    # A 32-bit file that an earlier run left registered would show in the shared keys.
    local stale
    stale="$("$wine_run" "$(system_program 32 reg.exe)" query \
               'HKEY_CLASSES_ROOT\CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}\InprocServer32' /ve \
               2>/dev/null | tr -d '\r' | sed -n 's/^    (Default)    REG_SZ    //p')" || true
    [ -z "$stale" ] || regsvr 32 /u "$stale"
  fi
  "$wine_run" regsvr32 /s "$dll" || fail "regsvr32 returned $?"
  diff -u <(echo "$expected") <(registry_dump) || fail "registry after regsvr32"
  "$wine_run" regsvr32 /u /s "$dll" || fail "regsvr32 /u returned $?"
  local left
  left="$(registry_dump; [ "$3" = win32 ] || registry_dump 32)"
  [ -z "$left" ] || fail "left after regsvr32 /u: $left"
  "$wine_run" regsvr32 /u /s "$dll" || fail "regsvr32 /u of what is gone returned $?"
  # The clients that run next need it registered.
  "$wine_run" regsvr32 /s "$dll" || fail "regsvr32 again returned $?"
}

regsvr() {
  local bits="$1"
  shift
  "$wine_run" "$(system_program "$bits" regsvr32.exe)" /s "$@" ||
    fail "$bits-bit regsvr32 $* returned $?"
}

check_side_by_side() {
  local dll64 dll32 expected="$3" probe
  dll64="$(windows_path "$1")"
  dll32="$(windows_path "$2")"
  probe="$(windows_path "$4")"

  # The registry's two views: the files the class leads to in each (empty: none), then the type
  # library's entries.
  expect_state() {
    local what="$1" class64="$2" class32="$3"
    shift 3
    diff -u <(expected_view "$expected" "$class64" "$class64$class32" "$@") <(registry_dump 64) ||
      fail "$what: the 64-bit view"
    diff -u <(expected_view "$expected" "$class32" "$class64$class32" "$@") <(registry_dump 32) ||
      fail "$what: the 32-bit view"
  }
  # The bitnesses whose script host creates the object; the others get error 429.
  expect_creators() {
    local what="$1" bits got want
    for bits in 64 32; do
      want="error 429"
      [[ " ${*:2} " != *" $bits "* ]] || want="created Ver1.06"
      want="PROBE: $([ "$bits" = 64 ] && echo AMD64 || echo x86) $want"
      got="$("$wine_run" "$(system_program "$bits" cscript.exe)" //nologo "$probe" | tr -d '\r')"
      [ "$got" = "$want" ] || fail "$what: $bits-bit cscript said \"$got\", not \"$want\""
    done
  }

  # Each order of registering, then each file unregistered while the other stays.
  regsvr 64 "$dll64"
  regsvr 32 "$dll32"
  expect_state "64-bit, then 32-bit registered" "$dll64" "$dll32" "win32=$dll32" "win64=$dll64"
  expect_creators "both registered" 64 32
  regsvr 32 /u "$dll32"
  expect_state "64-bit, then 32-bit; 32-bit unregistered" "$dll64" "" "win64=$dll64"
  expect_creators "64-bit, then 32-bit; 32-bit unregistered" 64
  regsvr 32 "$dll32"
  regsvr 64 /u "$dll64"
  expect_state "64-bit, then 32-bit; 64-bit unregistered" "" "$dll32" "win32=$dll32"
  expect_creators "64-bit, then 32-bit; 64-bit unregistered" 32
  regsvr 64 "$dll64"
  regsvr 64 /u "$dll64"
  expect_state "32-bit, then 64-bit; 64-bit unregistered" "" "$dll32" "win32=$dll32"
  expect_creators "32-bit, then 64-bit; 64-bit unregistered" 32
  regsvr 64 "$dll64"
  regsvr 32 /u "$dll32"
  expect_state "32-bit, then 64-bit; 32-bit unregistered" "$dll64" "" "win64=$dll64"
  expect_creators "32-bit, then 64-bit; 32-bit unregistered" 64
  regsvr 64 /u "$dll64"
  expect_state "both unregistered" "" ""
  expect_creators "both unregistered"
  # The clients that run next need both.
  regsvr 32 "$dll32"
  regsvr 64 "$dll64"
  expect_state "32-bit, then 64-bit registered" "$dll64" "$dll32" "win32=$dll32" "win64=$dll64"
}

# The script runs with the prelude in front; it passes when cscript printed the summary line
# with no failure, exited with 0 failures, and showed exactly the boxes its "' box:" lines list.
# Given a host and a bitness, that host runs it and must be a process of that bitness.
check_script() {
  local watcher="$1" prelude="$2" script="$3" host="${4:-cscript.exe}" bits="${5:-}"
  local joined="$PWD/${bits:+x$bits-}$(basename "$script")" log status=0
  cat "$prelude" "$script" >"$joined"
  log="$("$wine_run" "$watcher" "$host" //nologo "$(windows_path "$joined")" 2>&1 |
         tr -d '\r')" || status=$?
  echo "$log"
  [ "$status" -eq 0 ] || fail "exit status $status"
  [ -z "$bits" ] || grep -qx "CLIENT: $bits-bit" <<<"$log" || fail "not a $bits-bit script host"
  grep -Eq '^SUMMARY: [0-9]+ checks, 0 failed$' <<<"$log" || fail "no clean summary line"
  diff -u <(sed -n "s/^' box: //p" "$script") <(sed -n 's/^BOX: //p' <<<"$log") ||
    fail "message boxes"
}

case "${1:-}" in
  exports) check_exports "$2" "$3" "${4:-}" ;;
  registration) check_registration "$2" "$3" "$4" ;;
  side-by-side) check_side_by_side "$2" "$3" "$4" "$5" ;;
  unregister) regsvr "$2" /u "$(windows_path "$3")" ;;
  script) check_script "$2" "$3" "$4" "${5:-}" "${6:-}" ;;
  *) echo "usage: $0 exports|registration|side-by-side|unregister|script ..." >&2; exit 2 ;;
esac
exit "$failed"
