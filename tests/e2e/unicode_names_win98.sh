#!/usr/bin/env bash
# Under Windows 9x, where names exist only in the code page (1252 here), a
# folder it cannot spell exactly is refused, never swapped for a look-alike:
# setup.exe /S /DIR with the Polish and the Cyrillic folder ends with 1603,
# its log (UTF-8) ends with the message that quotes the folder as typed, and
# nothing is made: no folder on drive C:, no file in the system folder, no
# record, entry or link.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
e2e_windows_version win98
user="$(basename "$(ls -d "$(c_drive users)"/*/ | grep -v '/Public/$' | head -n 1)")"
LINKS=("users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" "users/$user/Desktop/Lumiro.lnk")
log="$(c_drive setup.log)"
drive_c_before="$(ls -A "$(c_drive '')")"

for folder in 'C:\Programy\Łódź Lumiro' 'C:\Программы\Lumiro'; do
  rm -f "$log"
  driver startwith 'C:\media\setup.exe' "/S /DIR=\"$folder\" /LOG=\"C:\\setup.log\"" nowindow exit 1603
  last="$(log_lines "$log" | tail -n 1 | cut -b 22-)"
  check "$folder: the log is UTF-8 with a byte-order mark" log_is_utf8 "$log"
  check "$folder: the log's last line is the refusal quoting the folder as typed" \
    bash -c '[[ "$1" == "Exit code 1603: "*"\"$2\""* ]]' _ "$last" "$folder"
  check "$folder: nothing is made on drive C: but the log" \
    test "$(ls -A "$(c_drive '')" | grep -vx setup.log)" = "$drive_c_before"
  for lib in "$E2E_PAYLOAD"/RTDLL_95/*; do
    check "$folder: no $(basename "$lib") in the system folder" test ! -e "$(c_drive "$SYSTEM_FOLDER/$(basename "$lib")")"
  done
  check "$folder: no product records" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
  check "$folder: no entry in Windows' list of programs" reg_key_missing "$UNINSTALL_ENTRY"
  for link in "${LINKS[@]}"; do check "$folder: no $link" test ! -e "$(c_drive "$link")"; done
done
