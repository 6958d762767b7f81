#!/usr/bin/env bash
# One setup at a time, whatever copy and mode: while a setup with windows sits
# at its main dialog, a second unattended one and a second with windows are
# turned away with 1618 (the log line, the message); once the first has left,
# or was killed, a new run works. The installed copy's removal, handed over to
# its temporary copy, keeps the guard until its very end: a second run at its
# closing message gets 1618, and the removal still completes with 0. Two
# unattended installations started at the same moment: one installs, the
# other exits 1618.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
ALREADY_RUNNING='Another Lumiro setup is running.  Wait until it has finished, then start Setup again.'
SECOND='"C:\media\setup.exe" /S /LOG="C:\second.log"'

# last_line FILE (below C:): the last line of a log without its time stamp.
last_line() { tail -n 1 "$(c_drive "$1")" | tr -d '\r' | cut -c 22-; }
turned_away() { test "$(last_line "$1")" = "Exit code 1618: $ALREADY_RUNNING"; }
logged() { log_mentions "$(c_drive "$1")" "$2"; }

driver start 'C:\media\setup.exe' window "$MAIN_DIALOG" \
  second "$SECOND" secondexit 1618 \
  second '"C:\media\setup.exe"' message "$ALREADY_RUNNING" 1 secondexit 1618 \
  click "$MAIN_DIALOG" 2 exit 1602
check "the unattended second run logs the message" logged second.log "Message (unattended): $ALREADY_RUNNING [OK]"
check "and ends its log with 1618 and why" turned_away second.log
check "neither second run installed anything" test ! -e "$(c_drive Lumiro)"

driver startwith 'C:\media\setup.exe' '/S /LOG="C:\after.log"' nowindow exit 0
check "after the first has left, a new run installs" cmp -s "$E2E_BIN/setup.exe" "$(c_drive Lumiro/Setup/setup.exe)"

driver start 'C:\media\setup.exe' window "$MAIN_DIALOG" kill
driver startwith 'C:\media\setup.exe' '/S /LOG="C:\after-kill.log"' nowindow exit 0
check "after the first was killed, a new run goes on" logged after-kill.log 'Lumiro build 2093 is already installed'

# The removal from the installed copy, at its closing message: the copy in
# the Setup folder waits for its temporary copy, which does the removal.
rm -f "$(c_drive second.log)"
driver startcmd '"C:\Lumiro\Setup\setup.exe" /UNINSTALL' \
  text Uninstalling 1008 "$UNINSTALL_LOG" \
  shown 'Uninstall completed successfully.' \
  second "$SECOND" secondexit 1618 \
  message 'Uninstall completed successfully.' 1 \
  exit 0
check "a second run during the handed-over removal is turned away" turned_away second.log
check "the removal took the installation" test ! -e "$(c_drive Lumiro)"
check "the removal took the entry" reg_key_missing "$UNINSTALL_ENTRY"

# Two unattended installations started together.
driver together '"C:\media\setup.exe" /S /LOG="C:\one.log"' '"C:\media\setup.exe" /S /LOG="C:\two.log"' 0,1618
# turned_away_and_installed LOG LOG: the first log's run was turned away,
# the second's installed.
turned_away_and_installed() { turned_away "$1" && test "$(last_line "$2")" = 'Exit code 0'; }
check "one installed, the other was turned away" \
  eval 'turned_away_and_installed one.log two.log || turned_away_and_installed two.log one.log'
check_installed APPS_NT Lumiro/Programs
check_installed RTDLL_NT "$SYSTEM_FOLDER"
check "the installation is whole: its setup copy" cmp -s "$E2E_BIN/setup.exe" "$(c_drive Lumiro/Setup/setup.exe)"
check "the installation is whole: its entry" test "$(entry_value DisplayVersion)" = '1.0.2093.0'
