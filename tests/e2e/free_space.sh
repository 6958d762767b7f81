#!/usr/bin/env bash
# Room first: an unattended installation into a folder on a drive too small
# for it (a 1 MiB tmpfs linked as drive X: of this scenario's prefix) stops
# with 1603 before anything is written: the log's last line names the folder
# with the space needed and free, and neither X: nor the registry nor the
# system folder got anything. Mounting needs root: without it the scenario
# is skipped (77).
. "$(dirname "$0")/e2e-lib.sh"
if [ "$(id -u)" != 0 ]; then
  echo "$E2E_NAME: skipped: mounting a small drive needs root"
  exit 77
fi
small_drive="$LUMIRO_WINE_ROOT/e2e-drives/$E2E_NAME"
unmount_small_drive() { if mountpoint -q "$small_drive"; then umount "$small_drive"; fi; }
unmount_small_drive
mkdir -p "$small_drive"
if ! mount -t tmpfs -o size=1m,mode=0777 lumiro-e2e-small-drive "$small_drive"; then
  echo "$E2E_NAME: skipped: no tmpfs could be mounted at $small_drive"
  exit 77
fi
trap unmount_small_drive EXIT
e2e_begin
trap 'status=$?; unmount_small_drive; (exit $status); e2e_end' EXIT
ln -s "$small_drive" "$WINEPREFIX/dosdevices/x:"
log="$(c_drive setup.log)"

driver startwith 'C:\media\setup.exe' '/S /DIR="X:\Lumiro" /LOG="C:\setup.log"' nowindow exit 1603
last_line="$(tail -n 1 "$log" 2>/dev/null | tr -d '\r' | cut -c 22-)" || true
size='[0-9.]+ (bytes|KB|MB)'
refusal="There is not enough free space for Lumiro on the drive of \"X:\\\\Lumiro\": $size are needed there"
check "the log's last line names the folder, the space needed and free" \
  grep -qE "^Exit code 1603: $refusal, and $size are free\.$" <<<"$last_line"
check "nothing was made on X:" test -z "$(ls -A "$small_drive")"
check "no records, not even an empty key" reg_key_missing 'HKLM\Software\Corvane'
check "no entry in the list of programs" reg_key_missing "$UNINSTALL_ENTRY"
check "no runtime library in the system folder" test ! -e "$(c_drive "$SYSTEM_FOLDER/LumRtl.dll")"
# (The check of the medium's packages comes first; it changes nothing.)
check "no folder stage began" bash -c '! grep "Stage: " "$1" | grep -qv "Stage: Checking the installation medium"' _ "$log"
