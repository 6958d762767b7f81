#!/usr/bin/env bash
# An upgrade: the registry records build 2092 in C:\Apps\Lumiro, whose
# Programs folder holds the executable. The main dialog offers the upgrade,
# the agreement and the path dialog are skipped and the recorded folder is
# installed into (the older executable, without version information, is
# replaced after the question). Run again, the same build is found: installing is not
# offered, only uninstalling or leaving.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
mkdir -p "$(c_drive Apps/Lumiro/Programs)"
# Named as the package names it; the setup looks for "ReaderNT.Exe", which
# Windows finds whatever the case.
echo "older build" > "$(c_drive Apps/Lumiro/Programs/ReaderNT.exe)"
record_installed_build 2092 'C:\Apps\Lumiro'

driver start 'C:\media\setup.exe' \
  text "$MAIN_DIALOG" 1003 'UPGRADE software' \
  text "$MAIN_DIALOG" 1004 'Installed software (Build 2092) found in:' \
  text "$MAIN_DIALOG" 1000 'C:\Apps\Lumiro' \
  enabled "$MAIN_DIALOG" 1002 1 \
  "${UPGRADE[@]}" \
  text 'Replace File' 1007 'Do you wish to replace the file "C:\Apps\Lumiro\Programs\ReaderNT.exe"*' \
  click 'Replace File' 1 \
  message "$COMPLETED" 1 \
  exit 0

check_installed APPS_NT Apps/Lumiro/Programs
check "the recorded folder is kept" test "$(reg_value "$key" 'Install Path')" = 'C:\Apps\Lumiro'
check "the new build is recorded" test "$(reg_value "$key" 'Build Number')" = '0x82d'
check "nothing installed in the default folder" test ! -e "$(c_drive Lumiro)"

driver start 'C:\media\setup.exe' \
  text "$MAIN_DIALOG" 1004 'Installed software (Build 2093) found in:' \
  enabled "$MAIN_DIALOG" 1001 0 \
  enabled "$MAIN_DIALOG" 1003 0 \
  enabled "$MAIN_DIALOG" 1002 1 \
  click "$MAIN_DIALOG" 2 \
  exit 1602
