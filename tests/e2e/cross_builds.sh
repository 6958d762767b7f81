#!/usr/bin/env bash
# The two builds of the setup on one 64-bit machine: what the i686 build
# installs, the x86_64 build finds and removes, and the other way round. Both
# keep the product's records and the entry in the registry's 64-bit view.
# With the 32-bit payload, the x86_64 build upgrades what the i686 build
# installed (the control registered by the 32-bit regsvr32, the libraries
# kept in syswow64) and the i686 build removes it; a 32-bit upgrade killed at
# its last question is undone by the x86_64 build, every file back in its
# real folder and none written into the other.
# Run in the i686 tree; needs the x86_64 build's setup.exe and packages
# (OTHER_BIN), and is reported as skipped without them.
. "$(dirname "$0")/e2e-lib.sh"
if [ ! -f "${OTHER_BIN:-}/setup.exe" ]; then
  echo "skipped: no x86_64 build's setup.exe in ${OTHER_BIN:-(OTHER_BIN not set)}"
  exit 77
fi
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
MEDIA64="$WINEPREFIX/drive_c/media64"
mkdir -p "$MEDIA64"
cp "$OTHER_BIN/setup.exe" "$OTHER_BIN"/*.PKG "$MEDIA64/"

# check_found_by SETUP: that setup's main dialog finds the installed copy of
# this build and offers only its removal.
check_found_by() {
  driver start "$1" \
    text "$MAIN_DIALOG" 1004 'Installed software (Build 2093) found in:' \
    text "$MAIN_DIALOG" 1000 'C:\Lumiro' \
    enabled "$MAIN_DIALOG" 1002 1 \
    click "$MAIN_DIALOG" 2 exit 1602
}
check_gone() {
  check "$1: the folder is gone" test ! -e "$(c_drive Lumiro)"
  check "$1: the records are gone" reg_key_missing "$key"
  check "$1: the entry is gone" reg_key_missing "$UNINSTALL_ENTRY"
}

driver startwith 'C:\media\setup.exe' '/S' nowindow exit 0
check "the i686 build records in the 64-bit view" test "$(reg_value "$key" 'Install Path')" = 'C:\Lumiro'
check "the i686 build's runtime libraries are in syswow64" test -f "$(c_drive windows/syswow64/LumRtl.dll)"
check_found_by 'C:\media64\setup.exe'
driver startwith 'C:\media64\setup.exe' '/S /UNINSTALL' nowindow exit 0
check_gone "installed by i686, removed by x86_64"

driver startwith 'C:\media64\setup.exe' '/S' nowindow exit 0
check "the x86_64 build's runtime libraries are in system32" test -f "$(c_drive windows/system32/LumRtl.dll)"
check_found_by 'C:\media\setup.exe'
driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0
check_gone "installed by x86_64, removed by i686"

# --- The 32-bit payload with either build: a medium of the x86_64 setup.exe
# with this tree's (32-bit) packages.
MEDIA6432="$WINEPREFIX/drive_c/media6432"
mkdir -p "$MEDIA6432"
cp "$OTHER_BIN/setup.exe" "$MEDIA6432/" && cp "$MEDIA"/*.PKG "$MEDIA6432/"
log="$(c_drive setup.log)"
logged() { log_mentions "$log" "$1"; }
system64_before="$(find "$(c_drive windows/system32)" -maxdepth 1 -type f -exec md5sum {} + | sort | md5sum)"

driver startwith 'C:\media\setup.exe' '/S' nowindow exit 0
record_installed_build 2092
rm -f "$log"
driver startwith 'C:\media6432\setup.exe' '/S /LOG="C:\setup.log"' nowindow exit 0
check "upgraded by x86_64: the build recorded is 2093" test "$(reg_value "$key" 'Build Number')" = '0x82d'
check "upgraded by x86_64: LumRtl.dll is kept in syswow64" \
  logged 'File kept (same version): C:\windows\syswow64\LumRtl.dll'
check "upgraded by x86_64: the control names itself in the 32-bit view" \
  test "$(registry_value 32 "HKCR\\$CONTROL_U_CLASS\\InprocServer32" '')" = 'C:\Lumiro\Programs\UiCtlsU.ocx'
driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0
check_gone "installed by i686, upgraded by x86_64, removed by i686"

# --- A 32-bit upgrade killed at its last question, undone by the x86_64 build.
driver startwith 'C:\media\setup.exe' '/S' nowindow exit 0
echo "older LumRtl.dll" > "$(c_drive windows/syswow64/LumRtl.dll)"
echo "older ReaderRes.dll" > "$(c_drive Lumiro/Programs/ReaderRes.dll)"
record_installed_build 2092
driver startwith 'C:\media\setup.exe' '' "${UPGRADE[@]}" \
  windowtext 'Replace File' 1007 "$(asking 'C:\windows\syswow64\LumRtl.dll')" click 'Replace File' 1 \
  windowtext 'Replace File' 1007 "$(asking 'C:\Lumiro\Programs\ReaderRes.dll')" kill
check "killed: the i686 run had replaced LumRtl.dll in syswow64" \
  cmp -s "$E2E_PAYLOAD/RTDLL_NT/LumRtl.dll" "$(c_drive windows/syswow64/LumRtl.dll)"
rm -f "$log"
driver startwith 'C:\media6432\setup.exe' '/LOG="C:\setup.log"' \
  message "The last run of Setup on this computer was interrupted before it finished.  $(undone_upgrade 2092)" 1 \
  window "$MAIN_DIALOG" click "$MAIN_DIALOG" 2 exit 1602
check "recovered by x86_64: the older LumRtl.dll is back in syswow64" \
  test "$(cat "$(c_drive windows/syswow64/LumRtl.dll)")" = "older LumRtl.dll"
check "recovered by x86_64: the log names syswow64" logged 'Undone: file put back: C:\windows\syswow64\LumRtl.dll'
check "recovered by x86_64: ReaderRes.dll is the older one" \
  test "$(cat "$(c_drive Lumiro/Programs/ReaderRes.dll)")" = "older ReaderRes.dll"
check "recovered by x86_64: system32 is as it was before the 32-bit runs" \
  test "$(find "$(c_drive windows/system32)" -maxdepth 1 -type f -exec md5sum {} + | sort | md5sum)" = "$system64_before"
check "recovered by x86_64: no journal" test ! -e "$(c_drive "$JOURNAL")"
