#!/usr/bin/env bash
# The removal from Windows' list of programs (the entry's
# QuietUninstallString) for a user whose temporary folder the code page
# cannot spell, C:\users\李明\Temp: the installed copy hands its run to a
# copy of itself in that folder, which removes everything, writes the
# default log there (UTF-8) and ends with 0; the restart takes the copy.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
LINKS=("ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk)
temp='C:\users\李明\Temp'
log="$(unix_path "$temp\\Lumiro Setup.log")"
# log_names_copy: the log's command line is the copy's in the temporary folder.
log_names_copy() { log_lines "$log" | cut -b 22- | grep -F -- "Command line: \"$temp\\LumiroSetup" >/dev/null; }

driver startwith 'C:\media\setup.exe' '/S' nowindow exit 0
use_temporary_folder "$temp"
driver startcmd "$(entry_value QuietUninstallString)" nowindow exit 0
check "the installation is removed" test ! -e "$(c_drive Lumiro)"
for link in "${LINKS[@]}"; do check "$link is gone" test ! -e "$(c_drive "$link")"; done
check "the records are gone" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
check "the entry is gone" reg_key_missing "$UNINSTALL_ENTRY"
check "the default log is in the temporary folder" test -f "$log"
check "it is UTF-8 with a byte-order mark" log_is_utf8 "$log"
check "it names the copy in the temporary folder" log_names_copy
check "it says the files were removed" log_has "$log" 'Stage: Removing Program Files... done.'
check "it ends with exit code 0" test "$(log_lines "$log" | tail -n 1 | cut -b 22-)" = 'Exit code 0'
check "the copy the run was handed to is in a folder of its own in the temporary folder" \
  test -n "$(find "$(unix_path "$temp")" -path '*/LumiroSetup-*/setup.exe')"
restart_prefix
check "after the restart the copy is gone" test -z "$(find "$(unix_path "$temp")" -name 'LumiroSetup*')"
