#!/usr/bin/env bash
# Uninstalls that must not remove files: with no "Install Path" recorded the
# program ends at once without a window; with "C:\" recorded (and an
# executable planted at C:\Programs\ReaderNT.exe, so the main dialog offers
# the uninstall) nothing on the drive is removed, and the registry records
# still are.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

# The main dialog finds the copy in the default folder, but nothing is
# recorded: the uninstall ends before any window or message (a message
# would keep the program from ending).
mkdir -p "$(c_drive Lumiro/Programs)"
echo program > "$(c_drive Lumiro/Programs/ReaderNT.exe)"
driver start 'C:\media\setup.exe' click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" gone "$MAIN_DIALOG" exit 0
check "C:/Lumiro/Programs/ReaderNT.exe stays" test -f "$(c_drive Lumiro/Programs/ReaderNT.exe)"
rm -rf "$(c_drive Lumiro)"

mkdir -p "$(c_drive Programs)"
echo program > "$(c_drive Programs/ReaderNT.exe)"
record_installed_build 2093 'C:\'
before="$(cd "$WINEPREFIX/drive_c" && find . -maxdepth 2 | sort)"
driver start 'C:\media\setup.exe' \
  click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" \
  message 'The recorded installation folder "C:\" is the root of a drive, so no program files are removed.' 1 \
  text Uninstalling 1008 'Removing Program Files... skipped.\nRemoving Registry Information... done.\nRemove Icons... done.\n' \
  message 'Uninstall completed successfully.' 1 \
  exit 0
check "C:/Programs/ReaderNT.exe stays" test -f "$(c_drive Programs/ReaderNT.exe)"
check "the top two levels of drive C are unchanged" \
  test "$(cd "$WINEPREFIX/drive_c" && find . -maxdepth 2 | sort)" = "$before"
check "the product key is gone" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
