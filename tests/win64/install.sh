#!/usr/bin/env bash
# Installer package checks under 64-bit Wine. Each check runs in a prefix of its own (WINEPREFIX),
# made at its start as a copy of one template, so that nothing another check did or left (a
# product it installed, the installer's cache, a server still ending) is in its way, and the
# checks give the same answers in any order; each leaves its prefix as it found it:
#   install.sh template
#       makes the template anew (WINEPREFIX names it)
#   install.sh per-machine MSI DLL64 DLL32 VBS CLIENT64 CLIENT32
#       msiexec /i; the registry's classes equal what regsvr32 of both files writes; the 64-bit
#       and 32-bit script hosts and C++ clients use the object; repair and reinstall; msiexec /x
#       leaves registry and files as before
#   install.sh per-user MSI DLL64 DLL32
#       msiexec /i without elevation writes only under HKEY_CURRENT_USER: the same rows as
#       regsvr32, moved there; msiexec /x leaves registry and files as before
#   install.sh upgrade MSI DLL64 DLL32 OLD_VERSION WIXL ROWS MSI_CMAKE
#       the package of an earlier version (built here), then this one: one product, this one's
#       files; its removal leaves registry and files as before
# The checks take the template from QUILMAR_INSTALL_TEMPLATE.
# With QUILMAR_ONLY_64BIT=1 (a machine that runs no 32-bit program) the 32-bit regsvr32, script
# host and C++ client are left out, and so are the 32-bit file's own rows from the comparisons.
set -euo pipefail
export LC_ALL=C  # one collation for sort and comm
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../scripts/wine-run.sh"
: "${WINEPREFIX:?}"
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

only_64bit() {
  [ "${QUILMAR_ONLY_64BIT:-}" = 1 ]
}

# Without the 32-bit regsvr32, its rows are missing on one side of a comparison: leave the 32-bit
# file's own rows (its class, its type-library entry) out of both.
own_rows_of_32bit() {
  if only_64bit; then
    grep -v -e '\\\\wow6432node\\\\clsid\\\\' -e '\\\\0\\\\win32|' || true
  else
    cat
  fi
}

windows_path() {
  "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'
}

program() {  # BITS NAME: a system program of that bitness
  if [ "$1" = 64 ]; then echo "C:\\windows\\system32\\$2"; else echo "C:\\windows\\syswow64\\$2"; fi
}

# The registry as lines "HIVE\key" and "HIVE\key|value", sorted: HKEY_LOCAL_MACHINE\Software
# (both views: the 32-bit one is its Wow6432Node keys) and all of HKEY_CURRENT_USER, read from
# the prefix's files once Wine has written them. (Wine rewrites parts of HKLM\System at each
# start.) Left out: the installer service's own keys while they hold no value, which Wine makes
# at its first use and Windows has from the start.
registry_state() {
  # (A line that cannot match the snapshot, should Wine still run and its files be stale.)
  timeout 60 wineserver -w || echo "Wine did not stop: its registry files may be stale"
  local hive
  for hive in HKLM:system.reg HKCU:user.reg; do
    awk -v hive="${hive%%:*}" '
      /^\[/ { sub(/\] [0-9]+$/, ""); key = hive "\\" substr($0, 2); keep = hive == "HKCU" ||
              index(key, "HKLM\\Software\\") == 1 }
      !keep { next }
      /^\[/ { if (key !~ /\\Installer(\\|$)/) print key; next }
      /^#/ || NF == 0 { next }
      { line = $0
        while (line ~ /\\$/ && (getline more) > 0) { sub(/\\$/, "", line); sub(/^ +/, "", more)
                                                     line = line more }
        print key "|" line }' "$WINEPREFIX/${hive#*:}"
  done | sort
}

file_state() {  # (the installer's cache folder, like its keys, is the service's own)
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows/Installer -prune -o -print | sort)
}

snapshot() {  # NAME: the registry and the files now, in NAME.reg and NAME.files
  registry_state >"$1.reg"
  file_state >"$1.files"
}

# Registry and files are as in the snapshot. A key that held no value may have gone: Windows
# Installer removes the keys its removal leaves empty, and some were empty before.
expect_as() {  # WHAT NAME
  local now
  now="$(registry_state)"
  diff -u "$2.reg" - <<<"$now" | grep '^+[^+]' && fail "$1: registry entries added"
  comm -23 "$2.reg" - <<<"$now" | grep '|' && fail "$1: registry values removed"
  diff -u "$2.files" <(file_state) || fail "$1: the files differ"
}

# The classes of both hives and the files are as in the snapshot; the installer's records of the
# product may differ (a repair records its source again).
expect_classes_as() {  # WHAT NAME
  classes() { grep -F 'Software\\Classes' | grep -v -F '\\Installer\\' || true; }
  diff -u <(classes <"$2.reg") <(registry_state | classes) || fail "$1: the classes differ"
  diff -u "$2.files" <(file_state) || fail "$1: the files differ"
}

# The registry values added since the snapshot under one hive's classes (HKLM or HKCU), less the
# installer's own records. Keys are compared without case: whoever made a key first chose it.
added_classes() {  # NAME HIVE
  comm -13 "$1.reg" <(registry_state) |
    awk -F '|' -v hive="$2" 'NF > 1 && index($1, hive "\\Software\\\\Classes\\\\") == 1 &&
                              index($1, hive "\\Software\\\\Classes\\\\Installer\\\\") != 1 {
                               print tolower($1) substr($0, length($1) + 1) }' |
    own_rows_of_32bit | sort
}

msiexec() {
  "$wine_run" msiexec "$@" || fail "msiexec $* returned $?"
}

# What regsvr32 of both files writes when they lie at these places (Windows paths): the lines
# added_classes gives under HKLM. The files and their registration are gone again afterwards.
regsvr32_rows() {  # DLL64 DLL32 AT64 AT32 OUT
  local at unix
  snapshot regsvr32-before
  for at in "$3|$1" "$4|$2"; do
    unix="$("$wine_run" winepath -u "${at%%|*}" 2>/dev/null)"
    mkdir -p "$(dirname "$unix")"
    cp "${at#*|}" "$unix"
  done
  "$wine_run" "$(program 64 regsvr32.exe)" /s "$3" || fail "64-bit regsvr32 returned $?"
  only_64bit || "$wine_run" "$(program 32 regsvr32.exe)" /s "$4" ||
    fail "32-bit regsvr32 returned $?"
  added_classes regsvr32-before HKLM >"$5"
  only_64bit || "$wine_run" "$(program 32 regsvr32.exe)" /u /s "$4" ||
    fail "32-bit regsvr32 /u returned $?"
  "$wine_run" "$(program 64 regsvr32.exe)" /u /s "$3" || fail "64-bit regsvr32 /u returned $?"
  comm -13 regsvr32-before.files <(file_state) | sort -r | while read -r made; do
    rm -d "$WINEPREFIX/drive_c/$made" 2>/dev/null || rm "$WINEPREFIX/drive_c/$made"
  done
  expect_as "after regsvr32 /u of both" regsvr32-before
}

# The files installed at these places are those of the build.
expect_files() {  # DLL64 DLL32 AT64 AT32
  local at
  for at in "$3|$1" "$4|$2"; do
    cmp -s "${at#*|}" "$("$wine_run" winepath -u "${at%%|*}" 2>/dev/null)" ||
      fail "${at%%|*} is not the build's file"
  done
}

# The script mirroring the README's VBA example, under the script host of each bitness, then the
# C++ client test of each bitness (which also calls from another apartment).
check_clients() {  # VBS CLIENT64 CLIENT32
  local bits got want=$'apple 5\nfig 8\npear 3' vbs all=(64 32)
  only_64bit && all=(64)
  vbs="$(windows_path "$1")"
  for bits in "${all[@]}"; do
    got="$("$wine_run" "$(program "$bits" cscript.exe)" //nologo "$vbs" | tr -d '\r')" || true
    [ "$got" = "$want" ] || fail "$bits-bit cscript printed \"$got\""
  done
  QUILMAR_CLIENT_BITS=64 "$wine_run" "$2" || fail "the 64-bit C++ client failed"
  only_64bit || QUILMAR_CLIENT_BITS=32 "$wine_run" "$3" || fail "the 32-bit C++ client failed"
}

machine64='C:\Program Files\Quilmar\Quilmar.dll'
machine32='C:\Program Files (x86)\Quilmar\Quilmar.dll'

check_per_machine() {
  local msi="$1" dll64="$2" dll32="$3"
  own_prefix
  snapshot before
  regsvr32_rows "$dll64" "$dll32" "$machine64" "$machine32" regsvr32.rows
  msiexec /i "$(windows_path "$msi")" /qn
  expect_files "$dll64" "$dll32" "$machine64" "$machine32"
  diff -u regsvr32.rows <(added_classes before HKLM) || fail "the classes differ from regsvr32's"
  check_clients "${@:4}"
  snapshot installed

  # Repair brings back a deleted file and a deleted key. (Wine's msiexec /f does not repair; the
  # properties it would set do.) Installing again changes no class and no file.
  rm "$("$wine_run" winepath -u "$machine64" 2>/dev/null)"
  "$wine_run" reg delete 'HKLM\Software\Classes\CLSID\{1B489C75-85E8-4326-B849-E3ECEA4207BB}' /f \
    >/dev/null || fail "reg delete returned $?"
  msiexec /i "$(windows_path "$msi")" REINSTALL=ALL REINSTALLMODE=amus /qn
  expect_classes_as "after repair" installed
  msiexec /i "$(windows_path "$msi")" /qn
  expect_classes_as "after installing again" installed

  msiexec /x "$(windows_path "$msi")" /qn
  expect_as "after msiexec /x" before
}

check_per_user() {
  local msi="$1" dll64="$2" dll32="$3" programs
  own_prefix
  programs="$("$wine_run" cmd /c echo '%LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Programs\\Quilmar"
  # Windows asks for no elevation when the package says it needs none (bit 8 of the summary's word
  # count, which msiinfo calls Source) and it does not ask for the machine (ALLUSERS).
  local words
  words="$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')"
  (( (words & 8) != 0 )) || fail "the package asks for elevation (word count $words)"
  ! msiinfo export "$msi" Property | grep -q '^ALLUSERS' || fail "the package sets ALLUSERS"
  snapshot before
  regsvr32_rows "$dll64" "$dll32" "$programs\\x64\\Quilmar.dll" "$programs\\x86\\Quilmar.dll" \
    regsvr32.rows
  msiexec /i "$(windows_path "$msi")" /qn
  expect_files "$dll64" "$dll32" "$programs\\x64\\Quilmar.dll" "$programs\\x86\\Quilmar.dll"
  diff -u <(sed 's/^hklm/hkcu/' regsvr32.rows) <(added_classes before HKCU) ||
    fail "the user's classes differ from what regsvr32 writes for the machine"
  local machine
  machine="$(added_classes before HKLM)"
  [ -z "$machine" ] || fail "a per-user install wrote the machine's classes: $machine"
  msiexec /x "$(windows_path "$msi")" /qn
  expect_as "after msiexec /x" before
}

check_upgrade() {
  local msi="$1" dll64="$2" dll32="$3" old_version="$4" wixl="$5" rows="$6" msi_cmake="$7"
  cmake -DWIXL="$wixl" -DVERSION="$old_version" -DSCOPE=machine -DROWS="$rows" -DDLL64="$dll64" \
    -DDLL32="$dll32" -DOUT="$PWD/old.msi" -P "$msi_cmake" || fail "building the old package"
  own_prefix
  snapshot before
  msiexec /i "$(windows_path "$PWD/old.msi")" /qn
  msiexec /i "$(windows_path "$msi")" /qn
  # The products' entries among what was added: this version's alone.
  local version products
  version="$(msiinfo export "$msi" Property | tr -d '\r' | awk '$1 == "ProductVersion" {print $2}')"
  products="$(comm -13 before.reg <(registry_state) |
              grep -o 'Uninstall\\\\{[^}]*}|"DisplayVersion"=.*' | sed 's/.*|/|/' || true)"
  [ "$products" = "|\"DisplayVersion\"=\"$version\"" ] || fail "products installed: $products"
  expect_files "$dll64" "$dll32" "$machine64" "$machine32"
  msiexec /x "$(windows_path "$msi")" /qn
  expect_as "after removing the upgraded product" before
}

# Until the prefix's server has ended (its registry saved, no program left to write a file).
server_ended() {
  timeout 120 wineserver -w || { echo "FAIL: the wineserver of $WINEPREFIX did not end" >&2; exit 1; }
}

# A new prefix: nothing installed or registered, not even by an earlier run that failed halfway.
# Each script host registers its own type library when it first runs: run them once, so that the
# snapshots see only what the packages do.
make_template() {
  local bits all=(64 32) script="$PWD/nothing.vbs"
  only_64bit && all=(64)
  wineserver -k 2>/dev/null || true  # one left by a run stopped halfway
  server_ended
  rm -rf "$WINEPREFIX"
  : >"$script"
  for bits in "${all[@]}"; do
    "$wine_run" "$(program "$bits" cscript.exe)" //nologo "$(windows_path "$script")" ||
      fail "$bits-bit cscript returned $?"
  done
  server_ended
}

# This check's prefix, a copy of the template made now.
own_prefix() {
  : "${QUILMAR_INSTALL_TEMPLATE:?}"
  wineserver -k 2>/dev/null || true  # one left by a run stopped halfway
  server_ended
  rm -rf "$WINEPREFIX"
  WINEPREFIX="$QUILMAR_INSTALL_TEMPLATE" server_ended
  cp -a "$QUILMAR_INSTALL_TEMPLATE" "$WINEPREFIX"
}

case "${1:-}" in
  template) make_template ;;
  per-machine) check_per_machine "${@:2}" ;;
  per-user) check_per_user "${@:2}" ;;
  upgrade) check_upgrade "${@:2}" ;;
  *) echo "usage: $0 template|per-machine|per-user|upgrade ..." >&2; exit 2 ;;
esac
# A check that passed left its prefix as the template was; a failed one keeps it for a look.
if [ "$failed" = 0 ] && [ "$1" != template ]; then
  server_ended
  rm -rf "$WINEPREFIX"
fi
exit "$failed"
