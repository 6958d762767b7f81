#!/usr/bin/env bash
# Runs that do not succeed leave Lumiro as it was (the NT family here;
# undo_runs_win98.sh runs the same under Windows 9x):
#  - a new installation into a folder below missing parents that fails at
#    its control leaves nothing: no folder (not even the parents it made), no
#    runtime library, registry key, link or entry in Windows' list;
#  - an upgrade that fails at its last file, with a runtime library held by
#    another program and queued for the restart, puts every file back,
#    withdraws the queued replacement and keeps the older build's records;
#  - an upgrade that fails late, at the setup's own copy, also registers the
#    earlier control again;
#  - Cancel in the replace question (with windows) ends with 1602 after
#    putting back what was already replaced;
#  - a run killed in the middle of a file is undone by the next start of
#    setup.exe, before its main dialog.
. "$(dirname "$0")/undo-lib.sh"

# --- A new installation that fails late leaves nothing.
mkdir -p "$E2E_OUT/declining"
cp "$E2E_PAYLOAD/../controls/Declining.ocx" "$E2E_OUT/declining/$control"
pack_apps "$E2E_OUT/declining/$control"
unattended_exit "/S /DIR=\"C:\\Apps\\New\\Lumiro\" $log_arg" 1603
check "new: the log's last line is the control's failure" \
  test "$(last_line)" = "Exit code 1603: Failed to register OLE control \"C:\\Apps\\New\\Lumiro\\Programs\\$control\""
check "new: the log says nothing was left" logged "$UNDONE_NEW"
check "new: the log tells each change undone" logged 'Undone: folder removed: C:\Apps'
check "new: no C:\\Apps (the run made it, the undo took it)" test ! -e "$(c_drive Apps)"
for lib in "$E2E_PAYLOAD/RTDLL_$platform"/*; do
  check "new: no $(basename "$lib") in the system folder" test ! -e "$(c_drive "$SYSTEM_FOLDER/$(basename "$lib")")"
done
check "new: no HKLM\\Software\\Corvane (font mappings, records)" reg_key_missing 'HKLM\Software\Corvane'
check "new: no entry in Windows' list of programs" reg_key_missing "$UNINSTALL_ENTRY"
for link in "${links[@]}"; do check "new: no $link" test ! -e "$(c_drive "$link")"; done
check "new: no journal" test ! -e "$(c_drive "$JOURNAL")"

# --- An installed copy, made older: build 2092 recorded with its entry, and
# two files without version information that an upgrade replaces.
cp "$E2E_OUT/$apps" "$MEDIA/$apps"
unattended_exit "/S $log_arg" 0
programs="$(c_drive Lumiro/Programs)"
system="$(c_drive "$SYSTEM_FOLDER")"
make_older() {
  record_installed_build 2092
  product_reg add "$UNINSTALL_ENTRY" /v DisplayVersion /d 1.0.2092.0 /f >/dev/null 2>&1
  echo "older ReaderRes.dll" > "$programs/ReaderRes.dll"
  echo "older LumRtl.dll" > "$system/LumRtl.dll"
  rm -rf "$E2E_OUT/before" && mkdir -p "$E2E_OUT/before/system"
  cp -a "$programs" "$E2E_OUT/before/Programs"
  cp -a "$system/LumRtl.dll" "$system/pi_w32.dll" "$E2E_OUT/before/system/"
  rm -f "$log"
}
# check_as_before WHAT: every file, the records and the entry are the older
# build's, nothing of the run stays, and the log says so.
check_as_before() {
  check "$1: Programs is as before" diff -r "$E2E_OUT/before/Programs" "$programs"
  for lib in LumRtl.dll pi_w32.dll; do
    check "$1: $lib is as before" cmp -s "$E2E_OUT/before/system/$lib" "$system/$lib"
  done
  check "$1: the build recorded is 2092" test "$(reg_value "$key" 'Build Number')" = '0x82c'
  check "$1: the entry's version is 1.0.2092.0" test "$(entry_value DisplayVersion)" = '1.0.2092.0'
  check "$1: no set-aside or temporary file" \
    test -z "$(find "$programs" "$system" -maxdepth 1 \( -name '$old*' -o -name '$tmp*' \))"
  check "$1: no journal" test ! -e "$(c_drive "$JOURNAL")"
  check "$1: the log says Lumiro is as before" logged "$(undone_upgrade 2092)"
}
# no_queued_replacement: nothing waits for the restart (the delayed moves,
# and on Windows 9x the lines of WININIT.INI).
no_queued_replacement() {
  no_pending_renames && ! grep -qs '=' "$(c_drive windows/wininit.ini)" "$(c_drive windows/WININIT.INI)"
}

# --- An upgrade that fails at its last file, a runtime library held.
make_older
mkdir -p "$programs/ZZLast.dat" "$E2E_OUT/last" && echo "the person's own" > "$programs/ZZLast.dat/inner.txt"
echo "last" > "$E2E_OUT/last/ZZLast.dat"
rm -rf "$E2E_OUT/before/Programs" && cp -a "$programs" "$E2E_OUT/before/Programs"
pack_apps "$E2E_OUT/last/ZZLast.dat"
hold_file "$system_windows\\LumRtl.dll"
unattended_exit "/S $log_arg" 1603
release_file
check "last file: the log's last line is its failure" test "$(last_line)" = \
  'Exit code 1603: The file "C:\Lumiro\Programs\ZZLast.dat" cannot be installed because a folder of that name is in its place.'
check "last file: the held library was queued first" logged "File queued for restart: $system_windows\\LumRtl.dll"
check "last file: and the queued replacement withdrawn" \
  logged "Undone: replacement at the next start of Windows withdrawn: $system_windows\\LumRtl.dll"
check "last file: ReaderRes.dll was put back" logged 'Undone: file put back: C:\Lumiro\Programs\ReaderRes.dll'
check_as_before "last file"
check "last file: nothing is queued for the restart" no_queued_replacement
rm -rf "$programs/ZZLast.dat"

# --- An upgrade that fails at the setup's own copy, after its control
# registered.
cp "$E2E_OUT/$apps" "$MEDIA/$apps"
make_older
rm -rf "$(c_drive Lumiro/Setup)" && echo "in the way" > "$(c_drive Lumiro/Setup)"
rm -rf "$E2E_OUT/before/Programs" && cp -a "$programs" "$E2E_OUT/before/Programs"
unattended_exit "/S $log_arg" 1603
check "setup copy: the log's last line is its failure" \
  bash -c '[[ "$1" == "Exit code 1603: Failed to copy the setup program to \"C:\\Lumiro\\Setup\\setup.exe\""* ]]' _ "$(last_line)"
check_as_before "setup copy"
check "setup copy: the control was registered again" logged "Undone: OLE control registered again: C:\\Lumiro\\Programs\\$control"
check_control_registered "$control_class" "C:\\Lumiro\\Programs\\$control"
for link in "${links[@]}"; do check "setup copy: $link is kept" test -f "$(c_drive "$link")"; done
rm -f "$(c_drive Lumiro/Setup)" && mkdir "$(c_drive Lumiro/Setup)" && cp "$MEDIA/setup.exe" "$(c_drive Lumiro/Setup/)"

# --- Cancel in the replace question, with windows: LumRtl.dll is replaced
# (Yes), ReaderRes.dll is not (Cancel).
make_older
driver startwith 'C:\media\setup.exe' "$log_arg" "${UPGRADE[@]}" \
  window 'Replace File' click 'Replace File' 1 \
  window 'Replace File' click 'Replace File' 2 \
  message "$(undone_upgrade 2092)" 1 \
  exit 1602
check "cancel: LumRtl.dll was put back" logged "Undone: file put back: $system_windows\\LumRtl.dll"
check_as_before "cancel"

# --- A run killed while it writes a large file; the next start undoes it.
make_older
seq -f 'Lumiro prompter line %09g of a file that takes a while to write' 1 1000000 > "$E2E_OUT/zz-large.bin"
pack_apps "$E2E_OUT/zz-large.bin"
driver startwith 'C:\media\setup.exe' "/S $log_arg" waitfile "C:\\windows\\Lumiro Setup.journal" 'zz-large.bin' kill
check "killed: the run had replaced LumRtl.dll" \
  cmp -s "$E2E_PAYLOAD/RTDLL_$platform/LumRtl.dll" "$system/LumRtl.dll"
check "killed: its journal is left" test -e "$(c_drive "$JOURNAL")"
driver startwith 'C:\media\setup.exe' "$log_arg" \
  message "The last run of Setup on this computer was interrupted before it finished.  $(undone_upgrade 2092)" 1 \
  window "$MAIN_DIALOG" click "$MAIN_DIALOG" 2 \
  exit 1602
check "killed: the next start says it undid the last run" logged 'The last run was interrupted: its changes are undone'
check "killed: no part of the large file stays" test -z "$(find "$programs" -name 'zz-large*')"
check_as_before "killed"
rm -f "$E2E_OUT/zz-large.bin"
