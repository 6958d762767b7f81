#!/usr/bin/env bash
# A new installation under the NT family: the progress window, the folder
# layout, both NT packages in the system folder and in C:\Lumiro\Programs,
# the secure key and the completion message.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

install_completes

for folder in Lumiro Lumiro/Programs Lumiro/Configuration Lumiro/Configuration/Machine Lumiro/Logs Lumiro/Documents; do
  check "folder C:/$folder exists" test -d "$(c_drive "$folder")"
done
check "secure key created" reg_key_exists 'HKLM\Software\Secure\Corvane'
check_installed RTDLL_NT "$SYSTEM_FOLDER"
check_installed APPS_NT Lumiro/Programs
check "no temporary file left in Programs" bash -c '! ls "$1"/\$tmp* >/dev/null 2>&1' _ "$(c_drive Lumiro/Programs)"

# Step 4: both links in the all-users folders; step 6: the NT control only.
check_links 'C:\Lumiro\Programs\ReaderNT.exe' \
  "ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk
check_control_registered "$CONTROL_U_CLASS" 'C:\Lumiro\Programs\UiCtlsU.ocx'
check "the Windows 9x control is not registered" control_missing "$CONTROL_A_CLASS"
