#!/usr/bin/env bash
# Runs the Windows-side checks of Quilmar.dll under Wine, in the prefix named by WINEPREFIX.
#   harness.sh exports OBJDUMP DLL FORMAT DEF   the file's format (pei-i386, pei-x86-64), its
#                                               exports and their ordinals as the .def file DEF
#                                               lists them, and its imports
#   harness.sh registration DLL EXPECTED PLATFORM VIEW32
#                                               regsvr32 and regsvr32 /u, and what the registry
#                                               holds (PLATFORM: win32 or win64, the DLL's); with
#                                               VIEW32 yes also the 32-bit view of a 64-bit
#                                               prefix, which only 32-bit programs read
#   harness.sh side-by-side DLL64 DLL32 EXPECTED PROBE
#                                               both registered, each unregistered alone, in
#                                               both orders: both registry views, and which
#                                               script host can still create the object
#   harness.sh unregister BITS DLL              regsvr32 /u of that bitness
#   harness.sh script WATCHER PRELUDE SCRIPT [HOST BITS]
#                                               a VBScript (.vbs) or JScript (.js) client run by
#                                               cscript (or HOST) under the box watcher, in a
#                                               BITS-bit process
#
# EXPECTED is the folder of expected registry states (registry/, made from the registry table by
# tests/registry_dumps.cpp): one file per state and view, named REGISTERED.BITS-bit-view.txt, where
# REGISTERED is win32, win64 or both and BITS the bitness of the process looking; @DLL32@ and
# @DLL64@ stand for the files' Windows paths.
#
# Every wine call is checked: a program that did not run, or ran and failed, is a test failure
# with its status and its output, never an empty answer.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../scripts/wine-run.sh"
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# One wine call: its standard output (carriage returns removed) in $wine_out, its error output in
# $wine_err and its status in $wine_status; the call's own status is always 0, so that a caller
# under `set -e` decides what a failure means.
wine_out="" wine_err="" wine_status=0
wine_call() {
  local err
  err="$(mktemp)"
  wine_status=0
  wine_out="$("$wine_run" "$@" 2>"$err" | tr -d '\r')" || wine_status=$?
  wine_err="$(tr -d '\r' <"$err")"
  rm -f "$err"
}

# What a failed wine call said, for a failure message.
wine_said() {
  printf 'status %d; output: %s; errors: %s' "$wine_status" "${wine_out:-(none)}" \
    "${wine_err:-(none)}"
}

# A wine call that must succeed; its output in $wine_out. A failure ends the test: what follows
# would check nothing.
wine_must() {
  wine_call "$@"
  [ "$wine_status" -eq 0 ] || { echo "FAIL: $* did not run: $(wine_said)" >&2; exit 1; }
}

windows_path() {
  wine_must winepath -w "$1"
  [ -n "$wine_out" ] || { echo "FAIL: winepath gave no path for $1" >&2; exit 1; }
  printf '%s\n' "$wine_out"
}

check_exports() {
  local dump
  dump="$("$1" -p "$2")"
  grep -q "file format $3\$" <<<"$dump" || fail "not a $3 file"
  # "NAME@ORDINAL" in the order of the export table's names, which is the names' byte order, and
  # as the .def file lists them ("  NAME @ORDINAL ...").
  local base exports want
  base="$(sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p' <<<"$dump")"
  exports="$(awk -v base="${base:-0}" '
               /^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {exit}
               on {gsub(/[][]/, " "); printf "%s@%d ", $2, $1 + base}' <<<"$dump")"
  want="$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\) *@\([0-9]*\).*/\1@\2/p' "$4" | LC_ALL=C sort |
          tr '\n' ' ')"
  [ -n "$want" ] || fail "no exports in $4"
  [ "$exports" = "$want" ] || fail "exports: $exports; $4 lists $want"
  grep -q '^Name .* Quilmar.dll$' <<<"$dump" || fail "the export directory's name"
  local imports
  imports="$(awk '/DLL Name:/ {print toupper($3)}' <<<"$dump" | sort | tr '\n' ' ')"
  [ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLEAUT32.DLL USER32.DLL " ] ||
    fail "imports: $imports"
}

# The programs of one bitness in a 64-bit prefix: the 64-bit ones in system32, the 32-bit ones in
# syswow64.
system_program() {
  if [ "$1" = 64 ]; then echo "C:\\windows\\system32\\$2"; else echo "C:\\windows\\syswow64\\$2"; fi
}

# The registry under each of our roots as lines "key|name|type|data" (a key alone: "key"), as a
# process of the given bitness (32 or 64, in a 64-bit prefix) sees it; without one, as reg does.
# (Wine's reg /reg:32 does not find the keys that both views share.) A root that is not there
# adds nothing; reg failing in any other way ends the test.
registry_dump() {
  local root reg=reg
  [ -z "${1:-}" ] || reg="$(system_program "$1" reg.exe)"
  for root in 'CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}' 'Quilmar.clsAVLt' \
      'TypeLib\{24CECA7A-C296-403C-8BAE-D3A4E486F939}' \
      'Interface\{6B639371-3311-4051-9729-7342867E85BE}' \
      'Interface\{2D32EEC9-3BB4-4F84-9D66-28170A901383}'; do
    reg_query "$reg" "HKEY_CLASSES_ROOT\\$root" /s
    awk -F '    ' '/^HKEY/ {key = $0; print key; next}
                   /^    / {print key "|" $2 "|" $3 "|" $4}' <<<"$wine_out"
  done
}

# REG query KEY [OPTIONS], REG being the reg program to run; the answer in $wine_out, empty when
# the key is not there. Any other failure (reg not started, timed out, refused) ends the test
# with what reg said.
reg_query() {
  wine_call "$1" query "${@:2}"
  [ "$wine_status" -ne 0 ] || return 0
  if [ "$wine_status" -eq 1 ] &&
      [ "$wine_out" = "reg: Unable to find the specified registry key" ]; then
    wine_out=""
    return 0
  fi
  echo "FAIL: reg query ${*:2} did not answer: $(wine_said)" >&2
  exit 1
}

# The registry state that the EXPECTED file NAME describes, with the files' paths filled in
# (dll32 and dll64 of the caller); NAME none is the state with nothing registered.
expected_state() {
  [ "$2" != none ] || return 0
  local text
  text="$(sed '/^#/d' "$1/$2.txt")"  # the first line says how the file is made
  text="${text//@DLL32@/"${dll32:-}"}"
  printf '%s\n' "${text//@DLL64@/"${dll64:-}"}"
}

# Compares the registry, as registry_dump [BITS] reads it, with the state EXPECTED/NAME.
expect_registry() {
  local what="$1" expected="$2" name="$3" bits="${4:-}" got want
  want="$(expected_state "$expected" "$name")"
  got="$(registry_dump $bits)" || { fail "$what: the registry could not be read"; return 0; }
  diff -u <(printf '%s\n' "$want") <(printf '%s\n' "$got") || fail "$what"
}

check_registration() {
  local dll expected="$2" platform="$3" view32="$4"
  dll="$(windows_path "$1")"
  local dll32="" dll64=""
  if [ "$platform" = win64 ]; then dll64="$dll"; else dll32="$dll"; fi
  local bits="${platform#win}"
  if [ "$platform" = win64 ] && [ "$view32" = no ]; then
    echo "SKIPPED: the 32-bit registry view (this machine runs no 32-bit programs)"
  fi
  if [ "$view32" = yes ]; then
    # A 32-bit file that an earlier run left registered would show in the shared keys.
    reg_query "$(system_program 32 reg.exe)" \
      'HKEY_CLASSES_ROOT\CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}\InprocServer32' /ve
    local stale
    stale="$(sed -n 's/^    (Default)    REG_SZ    //p' <<<"$wine_out")"
    [ -z "$stale" ] || regsvr 32 /u "$stale"
  fi
  "$wine_run" regsvr32 /s "$dll" || fail "regsvr32 returned $?"
  expect_registry "registry after regsvr32" "$expected" "$platform.$bits-bit-view"
  "$wine_run" regsvr32 /u /s "$dll" || fail "regsvr32 /u returned $?"
  expect_registry "left after regsvr32 /u" "$expected" none
  [ "$view32" = no ] || expect_registry "left after regsvr32 /u, 32-bit view" "$expected" none 32
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

  # Both registry views in the state where REGISTERED (win32, win64, both or none) is registered.
  expect_state() {
    local what="$1" registered="$2" bits name
    for bits in 64 32; do
      name="$registered.$bits-bit-view"
      [ "$registered" != none ] || name=none
      expect_registry "$what: the $bits-bit view" "$expected" "$name" "$bits"
    done
  }
  # The bitnesses whose script host creates the object; the others get error 429.
  expect_creators() {
    local what="$1" bits want
    for bits in 64 32; do
      want="error 429"
      [[ " ${*:2} " != *" $bits "* ]] || want="created Ver1.06"
      want="PROBE: $([ "$bits" = 64 ] && echo AMD64 || echo x86) $want"
      wine_call "$(system_program "$bits" cscript.exe)" //nologo "$probe"
      [ "$wine_status" -eq 0 ] && [ "$wine_out" = "$want" ] ||
        fail "$what: $bits-bit cscript, not \"$want\": $(wine_said)"
    done
  }

  # Each order of registering, then each file unregistered while the other stays.
  regsvr 64 "$dll64"
  regsvr 32 "$dll32"
  expect_state "64-bit, then 32-bit registered" both
  expect_creators "both registered" 64 32
  regsvr 32 /u "$dll32"
  expect_state "64-bit, then 32-bit; 32-bit unregistered" win64
  expect_creators "64-bit, then 32-bit; 32-bit unregistered" 64
  regsvr 32 "$dll32"
  regsvr 64 /u "$dll64"
  expect_state "64-bit, then 32-bit; 64-bit unregistered" win32
  expect_creators "64-bit, then 32-bit; 64-bit unregistered" 32
  regsvr 64 "$dll64"
  regsvr 64 /u "$dll64"
  expect_state "32-bit, then 64-bit; 64-bit unregistered" win32
  expect_creators "32-bit, then 64-bit; 64-bit unregistered" 32
  regsvr 64 "$dll64"
  regsvr 32 /u "$dll32"
  expect_state "32-bit, then 64-bit; 32-bit unregistered" win64
  expect_creators "32-bit, then 64-bit; 32-bit unregistered" 64
  regsvr 64 /u "$dll64"
  expect_state "both unregistered" none
  expect_creators "both unregistered"
  # The clients that run next need both.
  regsvr 32 "$dll32"
  regsvr 64 "$dll64"
  expect_state "32-bit, then 64-bit registered" both
}

# The script runs with the prelude in front; it passes when cscript printed the summary line
# with no failure, exited with 0 failures, and showed exactly the boxes its "box:" comment lines
# list ("' box:" in VBScript, "// box:" in JScript).
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
  diff -u <(sed -n -E "s#^(' |// )box: ##p" "$script") <(sed -n 's/^BOX: //p' <<<"$log") ||
    fail "message boxes"
}

# One wineserver for all of this run's wine calls, so that none of them races a server that is
# exiting; it is stopped (the registry saved) however the run ends.
if [ "${1:-}" != exports ]; then
  "$wine_run" --hold-server
  release_server() {
    "$wine_run" --release-server || { echo "FAIL: the wineserver was not stopped" >&2; exit 1; }
  }
  trap release_server EXIT
  trap 'exit 143' TERM INT
  export QUILMAR_WINESERVER_HELD=1
fi

case "${1:-}" in
  exports) check_exports "$2" "$3" "$4" "$5" ;;
  registration) check_registration "$2" "$3" "$4" "$5" ;;
  side-by-side) check_side_by_side "$2" "$3" "$4" "$5" ;;
  unregister) regsvr "$2" /u "$(windows_path "$3")" ;;
  script) check_script "$2" "$3" "$4" "${5:-}" "${6:-}" ;;
  *) echo "usage: $0 exports|registration|side-by-side|unregister|script ..." >&2; exit 2 ;;
esac
exit "$failed"
