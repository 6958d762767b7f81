#!/usr/bin/env bash
# A new installation through the dialogs. First "Exit Setup" on a machine
# without Lumiro: nothing is installed, but the default folder is recorded,
# and the setup ends with 1602 (the person left).
# Then the whole way in: the main dialog, the licence agreement (Install only
# once accepted; Cancel answered No keeps it), the install path (a cleared
# path disables OK; an unsafe folder is refused; a typed folder is used and
# recorded), the progress window and the completion message.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
path_dialog='Choose Install Path'

driver start 'C:\media\setup.exe' \
  text "$MAIN_DIALOG" 1003 'INSTALL software' \
  enabled "$MAIN_DIALOG" 1001 1 \
  enabled "$MAIN_DIALOG" 1002 0 \
  enabled "$MAIN_DIALOG" 1010 0 \
  visible "$MAIN_DIALOG" 1000 0 \
  visible "$MAIN_DIALOG" 1004 0 \
  click "$MAIN_DIALOG" 2 \
  exit 1602
check "Exit Setup on a fresh machine records the default folder" test "$(reg_value "$key" 'Install Path')" = 'C:\Lumiro'
check "Exit Setup installs nothing" test ! -e "$(c_drive Lumiro)"

driver start 'C:\media\setup.exe' \
  click "$MAIN_DIALOG" 1001 \
  text License 1000 'LUMIRO LICENSE AGREEMENT*' \
  enabled License 1001 0 \
  click License 1002 enabled License 1001 1 \
  click License 1002 enabled License 1001 0 \
  click License 1002 \
  click License 2 message 'Are you sure you wish to cancel Setup?' 7 \
  checked License 1002 1 enabled License 1001 1 \
  click License 1001 \
  text "$path_dialog" 1004 'C:\Lumiro' \
  settext "$path_dialog" 1004 '' enabled "$path_dialog" 1 0 \
  settext "$path_dialog" 1004 'C:\' enabled "$path_dialog" 1 1 \
  click "$path_dialog" 1 message 'Lumiro cannot be installed in "C:\" because it is the root of a drive.*' 1 \
  settext "$path_dialog" 1004 'C:\Teleprompter\' \
  click "$path_dialog" 1 \
  message "$COMPLETED" 1 \
  exit 0

check "the typed folder is recorded without its trailing backslash" \
  test "$(reg_value "$key" 'Install Path')" = 'C:\Teleprompter'
check "the build is recorded" test "$(reg_value "$key" 'Build Number')" = '0x82d'
check_installed APPS_NT Teleprompter/Programs
check "nothing installed in the default folder" test ! -e "$(c_drive Lumiro)"
