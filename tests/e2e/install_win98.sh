#!/usr/bin/env bash
# Under Windows 9x the 95 packages are installed, and the start-up never
# creates the secure key.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
e2e_windows_version win98

install_completes

check "folder C:/Lumiro/Documents exists" test -d "$(c_drive Lumiro/Documents)"
check "no secure key under Windows 9x" bash -c '! wine reg query "HKLM\Software\Secure\Corvane" >/dev/null 2>&1'
check_installed RTDLL_95 windows/system32
check_installed APPS_95 Lumiro/Programs
check "no NT package installed" test ! -e "$(c_drive Lumiro/Programs/ReaderNT.exe)"
