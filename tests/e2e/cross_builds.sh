#!/usr/bin/env bash
# The two builds of the setup on one 64-bit machine: what the i686 build
# installs, the x86_64 build finds and removes, and the other way round. Both
# keep the product's records and the entry in the registry's 64-bit view.
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
