#!/usr/bin/env bash
# The same hostile packages on the Windows 9x path: a stored ReaderRes.dll
# recorded as 204,800 bytes over 102,400 stored, and a file entry where a
# folder is. Neither replaces the older copy, and WININIT.INI never names
# the folder.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
e2e_windows_version win98

install_completes
older="$E2E_OUT/ReaderRes.dll"
cp "$(c_drive Lumiro/Programs/ReaderRes.dll)" "$older"

head -c 102400 /dev/urandom > "$E2E_OUT/half.bin"
make_package "$MEDIA/APPS_95.PKG" <<JSON
{"compressed": false, "entries": [{"name": "ReaderRes.dll", "file": "$E2E_OUT/half.bin", "size": 204800}]}
JSON
record_installed_build 2092
driver start 'C:\media\setup.exe' "${UPGRADE[@]}" window 'Replace File' click 'Replace File' 1 \
  message 'Read from package failed - *' 1 message "$(undone_upgrade 2092)" 1 exit 1603
check "a stored entry shorter than its record leaves the older ReaderRes.dll whole" \
  cmp -s "$older" "$(c_drive Lumiro/Programs/ReaderRes.dll)"
check "no temporary file after the damaged entry" no_temporary_files Lumiro/Programs

mkdir -p "$(c_drive Lumiro/Programs/ZZDir)"
echo "the person's own" > "$(c_drive Lumiro/Programs/ZZDir/inner.txt)"
make_package "$MEDIA/APPS_95.PKG" <<JSON
{"compressed": false, "entries": [{"name": "ZZDir", "text": "a file"}]}
JSON
record_installed_build 2092
driver start 'C:\media\setup.exe' "${UPGRADE[@]}" \
  message 'The file "C:\Lumiro\Programs\ZZDir" cannot be installed because a folder of that name is in its place.' 1 \
  message "$(undone_upgrade 2092)" 1 exit 1603
check "the folder in the way keeps its file" grep -q "person's own" "$(c_drive Lumiro/Programs/ZZDir/inner.txt)"
check "no temporary file after the folder in the way" no_temporary_files Lumiro/Programs
check "WININIT.INI does not name the folder" \
  bash -c '! grep -qi ZZDir "$1"/windows/wininit.ini "$1"/windows/WININIT.INI 2>/dev/null' _ "$WINEPREFIX/drive_c"
