#!/usr/bin/env bash
# A 64-bit file where Windows cannot run one: the i686 build of the setup,
# given 64-bit packages (E2E_OTHER_PAYLOAD), refuses them before it changes
# anything, on the Windows 98 path of a 64-bit prefix and on 32-bit Windows
# (a prefix of Wine's 32-bit half alone), naming the file and its package.
# Run in the i686 tree only.
. "$(dirname "$0")/e2e-lib.sh"
other="${E2E_OTHER_PAYLOAD:?}"
e2e_begin

# pack NAME FOLDER: the medium's package of that name from a payload folder.
pack() {
  rm -f "$MEDIA/$1.PKG"
  "${HOST_LUMPACK:?}" create "$MEDIA/$1.PKG" "$2" >/dev/null
}

# check_refused WHAT PACKAGE_NAME: setup.exe /S ends with 1603 after the
# refusal of LumRtl.dll, and nothing of Lumiro is on the machine.
check_refused() {
  local log="$WINEPREFIX/drive_c/setup.log"
  rm -f "$log"
  driver startwith 'C:\media\setup.exe' '/S /LOG="C:\setup.log"' nowindow exit 1603
  check "$1: the log's last line is the refusal" test "$(log_lines "$log" | tail -n 1 | cut -b 22-)" = \
    "Exit code 1603: The file \"LumRtl.dll\" of $2 is a 64-bit program file, and this Windows runs only 32-bit programs: Setup has changed nothing.  Install Lumiro's 32-bit release here."
  check "$1: no installation folder" test ! -e "$WINEPREFIX/drive_c/Lumiro"
  check "$1: no runtime library anywhere" \
    test -z "$(find "$WINEPREFIX/drive_c/windows" -maxdepth 2 -iname LumRtl.dll)"
  check "$1: no records" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
  check "$1: no journal" test ! -e "$(c_drive "$JOURNAL")"
}

# --- Windows 98 on a 64-bit machine: the 9x packages of 64-bit files.
e2e_windows_version win98
pack RTDLL_95 "$other/RTDLL_95"
pack APPS_95 "$other/APPS_95"
check_refused "Windows 98" RTDLL_95.PKG

# --- 32-bit Windows: a prefix of its own, made by Wine's 32-bit half.
wineserver -k >/dev/null 2>&1 || true
prefix32="$LUMIRO_WINE_ROOT/e2e/payload_refused_win32"
rm -rf "$prefix32"
WINEPREFIX="$prefix32" WINEARCH=win32 wineboot -i >/dev/null 2>&1 </dev/null
WINEPREFIX="$prefix32" wineserver -w
export WINEPREFIX="$prefix32"
# The records are read by the prefix's own (32-bit) reg.
product_reg() { wine reg "$@"; }
setsid wineserver -p >/dev/null 2>&1 </dev/null &
mkdir -p "$prefix32/drive_c/media"
cp "$MEDIA/setup.exe" "$prefix32/drive_c/media/"
cp "$E2E_BIN/driver.exe" "$prefix32/drive_c/"
MEDIA="$prefix32/drive_c/media"
pack RTDLL_NT "$other/RTDLL_NT"
pack APPS_NT "$other/APPS_NT"
check "32-bit Windows: the prefix has no 64-bit half" test ! -d "$prefix32/drive_c/windows/syswow64"
check_refused "32-bit Windows" RTDLL_NT.PKG
wineserver -k >/dev/null 2>&1 || true
[ "$E2E_FAILURES" -ne 0 ] || rm -rf "$prefix32"
