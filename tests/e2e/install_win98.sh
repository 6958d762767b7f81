#!/usr/bin/env bash
# Under Windows 9x the 95 packages are installed, and the start-up never
# creates the secure key.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
e2e_windows_version win98

install_completes

check "folder C:/Lumiro/Documents exists" test -d "$(c_drive Lumiro/Documents)"
check "no secure key under Windows 9x" reg_key_missing 'HKLM\Software\Secure\Corvane'
check_installed RTDLL_95 "$SYSTEM_FOLDER"
check_installed APPS_95 Lumiro/Programs
check "no NT package installed" test ! -e "$(c_drive Lumiro/Programs/ReaderNT.exe)"

# Step 4: both links in the user's own folders, none in the all-users ones;
# step 6: the Windows 9x control only.
user="$(basename "$(ls -d "$(c_drive users)"/*/ | grep -v '/Public/$' | head -n 1)")"
check_links 'C:\Lumiro\Programs\Reader95.exe' \
  "users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" "users/$user/Desktop/Lumiro.lnk"
check "no link in the all-users folders" bash -c '! find "$1" "$2" -name Lumiro.lnk | grep -q .' _ \
  "$(c_drive ProgramData/Microsoft/Windows/Start\ Menu/Programs)" "$(c_drive users/Public/Desktop)"
check_control_registered "$CONTROL_A_CLASS" 'C:\Lumiro\Programs\UiCtlsA.ocx'
check "the NT control is not registered" control_missing "$CONTROL_U_CLASS"

# Add/Remove Programs of Windows 9x reads the same entry.
check "the entry's DisplayName" test "$(entry_value DisplayName)" = 'Lumiro'
check "the entry's UninstallString" test "$(entry_value UninstallString)" = '"C:\Lumiro\Setup\setup.exe" /UNINSTALL'
check "the entry's icon is the Windows 9x reader" test "$(entry_value DisplayIcon)" = 'C:\Lumiro\Programs\Reader95.exe,0'
