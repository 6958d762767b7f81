#!/usr/bin/env bash
# A file where the install folder should be: the first folder counts as made,
# the next one fails with the system's reason while the progress window
# shows the stage and the folder; the setup says that nothing was left and
# ends with 1603 (failed).
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
echo "in the way" > "$(c_drive Lumiro)"

driver start 'C:\media\setup.exe' "${NEW_INSTALL[@]}" \
  text Installing 1003 'Creating folders' \
  text Installing 1004 'C:\Lumiro\Programs' \
  message 'Failed to create the directory "C:\Lumiro\Programs" because *' 1 \
  message "$UNDONE_NEW" 1 \
  exit 1603

check "the file in the way is untouched" grep -q "in the way" "$(c_drive Lumiro)"
check "no journal is left" test ! -e "$(c_drive "$JOURNAL")"
