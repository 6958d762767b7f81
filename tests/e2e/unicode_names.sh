#!/usr/bin/env bash
# Folders named in any language on the NT family, on an English Windows
# (code page 1252) as people elsewhere use it: one with letters the code
# page lacks (Polish) and one in an alphabet it lacks altogether (Cyrillic),
# each given to /S /DIR and typed into the install-path dialog. Each is
# installed in exactly that folder, which the records, the entry in
# Windows' list of programs, the links and the log (UTF-8, with a byte-order
# mark at the start of a new log only) name exactly; the entry's
# QuietUninstallString and UninstallString remove all of it. /DIR presets
# the dialog with the folder as given.
# (unicode_package_entries.sh: entries named in other languages;
# unicode_temp_folder.sh: a user's temporary folder; unicode_names_win98.sh:
# the same folders under Windows 9x.)
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
LINKS=("ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk)
FOLDERS=('C:\Programy\Łódź Lumiro' 'C:\Программы\Lumiro')
path_dialog='Choose Install Path'

# check_installed_in FOLDER LOG: the installation lies in FOLDER exactly and
# every record names it; the new log (a Windows path) quotes it.
check_installed_in() {
  local folder="$1" log dir
  dir="$(unix_path "$folder")"
  log="$(unix_path "$2")"
  check "$folder: nothing else was made beside it" test "$(ls -A "$(dirname "$dir")")" = "$(basename "$dir")"
  check_installed APPS_NT "${dir#"$WINEPREFIX/drive_c/"}/Programs"
  check "$folder: the setup's own copy" cmp -s "$E2E_BIN/setup.exe" "$dir/Setup/setup.exe"
  check "$folder: the records' Install Path" test "$(reg_value "$key" 'Install Path')" = "$folder"
  check "$folder: InstallLocation" test "$(entry_value InstallLocation)" = "$folder"
  check "$folder: DisplayIcon" test "$(entry_value DisplayIcon)" = "$folder\\Programs\\ReaderNT.exe,0"
  check "$folder: UninstallString" test "$(entry_value UninstallString)" = "\"$folder\\Setup\\setup.exe\" /UNINSTALL"
  check "$folder: QuietUninstallString" \
    test "$(entry_value QuietUninstallString)" = "\"$folder\\Setup\\setup.exe\" /UNINSTALL /S"
  check_links "$folder\\Programs\\ReaderNT.exe" "${LINKS[@]}"
  check_control_registered "$CONTROL_U_CLASS" "$folder\\Programs\\UiCtlsU.ocx"
  check "$folder: the new log is UTF-8 with a byte-order mark" log_is_utf8 "$log"
  check "$folder: the log names the install path" log_has "$log" "Install path: $folder"
  check "$folder: the log names the folder made" log_has "$log" "Folder made: $folder"
  check "$folder: the log names the reader written" log_has "$log" "File written new: $folder\\Programs\\ReaderNT.exe"
  check "$folder: the log names the link's target" \
    log_has "$log" "Link created: C:\\users\\Public\\Desktop\\Lumiro.lnk -> $folder\\Programs\\ReaderNT.exe"
  check "$folder: the log names the entry's InstallLocation" \
    log_has "$log" "Registry value written: $UNINSTALL_ENTRY\\InstallLocation = $folder"
}

# check_removed_from FOLDER LOG: nothing of the installation is left, and
# the removal appended to the log (a Windows path) of the installation.
check_removed_from() {
  local folder="$1" log link
  log="$(unix_path "$2")"
  check "$folder: removed" test ! -e "$(unix_path "$folder")"
  for link in "${LINKS[@]}"; do check "$folder: $link is gone" test ! -e "$(c_drive "$link")"; done
  check "$folder: the records are gone" reg_key_missing "$key"
  check "$folder: the entry is gone" reg_key_missing "$UNINSTALL_ENTRY"
  check "$folder: the log appended to is UTF-8 with one byte-order mark, at its start" log_is_utf8 "$log"
  check "$folder: the log names the folder removed" log_has "$log" "Folder removed: $folder"
}

mkdir -p "$(c_drive logs)"
case_number=0
for folder in "${FOLDERS[@]}"; do
  # Without windows: /DIR, and the removal by the QuietUninstallString.
  case_number=$((case_number + 1))
  log="C:\\logs\\unattended-$case_number.log"
  driver startwith 'C:\media\setup.exe' "/S /DIR=\"$folder\" /LOG=\"$log\"" nowindow exit 0
  check "$folder: the log quotes the command line" \
    log_has "$(unix_path "$log")" "Command line: \"C:\\media\\setup.exe\" /S /DIR=\"$folder\" /LOG=\"$log\""
  check_installed_in "$folder" "$log"
  driver startcmd "$(entry_value QuietUninstallString) /LOG=\"$log\"" nowindow exit 0
  check_removed_from "$folder" "$log"

  # With windows: the folder typed into the path dialog, and the removal by
  # the UninstallString.
  log="C:\\logs\\dialogs-$case_number.log"
  driver startwith 'C:\media\setup.exe' "/LOG=\"$log\"" \
    click "$MAIN_DIALOG" 1001 click License 1002 click License 1001 \
    settext "$path_dialog" 1004 "$folder" click "$path_dialog" 1 \
    message "$COMPLETED" 1 \
    exit 0
  check_installed_in "$folder" "$log"
  driver startcmd "$(entry_value UninstallString) /LOG=\"$log\"" \
    text Uninstalling 1008 "$UNINSTALL_LOG" \
    message 'Uninstall completed successfully.' 1 \
    exit 0
  check_removed_from "$folder" "$log"
done

# /DIR presets the path dialog with the folder exactly as given (then the
# person cancels).
for folder in "${FOLDERS[@]}"; do
  driver startwith 'C:\media\setup.exe' "/DIR=\"$folder\"" \
    click "$MAIN_DIALOG" 1001 click License 1002 click License 1001 \
    text "$path_dialog" 1004 "$folder" \
    click "$path_dialog" 2 message 'Are you sure you wish to cancel Setup?' 6 \
    exit 1602
done
