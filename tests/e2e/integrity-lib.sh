# Sourced by integrity_nt.sh and integrity_win98.sh: the medium's packages
# checked before anything is changed, for one family of Windows.
#
# integrity_scenario NT|95: a medium made by the medium command (its
# packages compressed, their SHA-256s recorded in setup.exe) and one whose
# application package is stored. One byte changed in a package's catalog
# (the first file's name, last-write time or version) or in its data, for
# each of the family's two packages and both storages: setup.exe /S ends
# with 1620, says which package, and has written nothing. The same with
# windows: the message, then 1620. The intact medium installs and logs each
# package as the one recorded. setup.exe without a record (a build, not a
# medium) takes the packages' own checks, refuses a damaged one, and installs
# packages of an older packer with a log line that they were not checked.
integrity_scenario() {
  local family="$1"
  local apps="APPS_$family.PKG" rtdll="RTDLL_$family.PKG"
  e2e_begin
  [ "$family" = 95 ] && e2e_windows_version win98
  log="$(c_drive check.log)"
  made="$E2E_OUT/medium"
  # Windows 9x runs only 32-bit programs: its packages take the 32-bit payload.
  local payload95="${E2E_PAYLOAD_32:?}"
  python3 "$LUMIRO_SOURCE_DIR/tools/medium/make_medium.py" --setup "${MEDIUM_SETUP:?}" --lumpack "${HOST_LUMPACK:?}" \
    --apps-nt "$E2E_PAYLOAD/APPS_NT" --rtdll-nt "$E2E_PAYLOAD/RTDLL_NT" --apps-95 "$payload95/APPS_95" \
    --rtdll-95 "$payload95/RTDLL_95" "$made" > "$E2E_OUT/make-medium.txt"
  # The same medium with its application package stored, recorded anew in a
  # fresh copy of the shipped setup.exe.
  stored="$E2E_OUT/stored"
  mkdir -p "$stored"
  cp "$made"/*.PKG "$stored/"
  rm "$stored/$apps"
  local payload="$E2E_PAYLOAD"
  [ "$family" = 95 ] && payload="$payload95"
  "$HOST_LUMPACK" create --stored --dirs "$stored/$apps" "$payload/APPS_$family" >/dev/null
  cp "$MEDIUM_SETUP" "$stored/setup.exe"
  python3 "$LUMIRO_SOURCE_DIR/tools/medium/medium_record.py" "$stored/setup.exe" \
    "$stored"/RTDLL_NT.PKG "$stored"/APPS_NT.PKG "$stored"/RTDLL_95.PKG "$stored"/APPS_95.PKG

  for medium in "$made" "$stored"; do
    for package in "$rtdll" "$apps"; do
      [ "$medium" = "$stored" ] && [ "$package" = "$rtdll" ] && continue
      for what in name time version data; do
        use_medium "$medium"
        damage_package "$MEDIA/$package" "$what"
        rm -f "$log"
        driver startwith 'C:\media\setup.exe' '/S /LOG="C:\check.log"' nowindow exit 1620
        check "$(basename "$medium") $package, its $what changed: the log's last line names it" \
          log_has "$log" "Exit code 1620: $(damaged_message "$package")"
        check "$(basename "$medium") $package, its $what changed: refused before anything was written" nothing_written
      done
    done
  done

  # With windows: the message, after the dialogs, and nothing written.
  use_medium "$made"
  damage_package "$MEDIA/$apps" data
  driver start 'C:\media\setup.exe' "${NEW_INSTALL[@]}" message "$(damaged_message "$apps")" 1 exit 1620
  check "with windows: refused before anything was written" nothing_written windows
  product_reg delete 'HKLM\Software\Corvane\Lumiro Install' /f >/dev/null 2>&1

  # A build's setup.exe records no package: the packages' own checks count.
  use_medium "$made"
  cp "$E2E_BIN/setup.exe" "$MEDIA/setup.exe"
  damage_package "$MEDIA/$apps" version
  driver startwith 'C:\media\setup.exe' '/S /LOG="C:\check.log"' nowindow exit 1620
  check "without a record in setup.exe, a package's own check refuses its changed version" nothing_written

  # The intact medium installs, each package checked against its record.
  # (The x86_64 build registers the 9x packages' 32-bit control through the
  # 32-bit regsvr32; a prefix without Wine's 32-bit half has none, and the
  # installation, checked as ever, then ends with 1603, undone.)
  local installs=0
  if [ "$family" = 95 ] && [ "$E2E_BITS" = 64 ] && [ ! -f "$(c_drive windows/syswow64/regsvr32.exe)" ]; then
    installs=1603
    echo "no 32-bit regsvr32 in this prefix: the 9x packages' control cannot be registered"
  fi
  use_medium "$made"
  rm -f "$log"
  driver startwith 'C:\media\setup.exe' '/S /LOG="C:\check.log"' nowindow exit "$installs"
  for package in "$rtdll" "$apps"; do
    check "the intact $package is logged as the package the medium recorded" \
      log_mentions "$log" "Medium check: $package is the package the medium recorded in setup.exe"
  done
  [ "$installs" = 0 ] || check "the intact medium, its control not registered: undone whole" nothing_written
  [ "$installs" != 0 ] || E2E_PAYLOAD="$payload" check_installed "APPS_$family" Lumiro/Programs
  [ "$installs" != 0 ] || driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0

  # (The runtime libraries stay after a removal, as always.)
  use_medium "$made"
  cp "$E2E_BIN/setup.exe" "$MEDIA/setup.exe"
  for package in "$rtdll" "$apps"; do older_package "$MEDIA/$package"; done
  rm -f "$log"
  driver startwith 'C:\media\setup.exe' '/S /LOG="C:\check.log"' nowindow exit "$installs"
  for package in "$rtdll" "$apps"; do
    check "a package of an older packer under a setup.exe without a record installs, logged as not checked" \
      log_has "$log" "Medium check: $package was not checked: neither this setup.exe nor the package carries a record of it (a medium made by hand or by an older tool)."
  done
  [ "$installs" != 0 ] || E2E_PAYLOAD="$payload" check_installed "APPS_$family" Lumiro/Programs
}

# use_medium FOLDER: the medium folder C:\media holds that medium's setup.exe
# and packages, and nothing else.
use_medium() {
  rm -rf "$MEDIA"
  mkdir -p "$MEDIA"
  cp "$1/setup.exe" "$1"/*.PKG "$MEDIA/"
}

# damage_package PATH name|time|version|data: one byte of the package's
# first file changed (tests/support/package_layout.py --damage).
damage_package() {
  python3 "$LUMIRO_SOURCE_DIR/tests/support/package_layout.py" --damage "$2" "$1"
}

# older_package PATH: the package as an older lumpack made it, with zeros
# where its own check is.
older_package() {
  python3 -c 'import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(28)
    f.write(bytes(36))' "$1"
}


damaged_message() {
  echo "The package file \"$1\" of the installation medium is damaged or changed since the medium was made; obtain a new copy of the medium.  Setup has changed nothing."
}

# nothing_written [windows]: no install folder, runtime library, record,
# entry or journal of a run. With windows, the main dialog has recorded its
# default folder, as it does whenever it shows on a machine without Lumiro
# (even when the person leaves then), and nothing else.
nothing_written() {
  local file
  test ! -e "$(c_drive Lumiro)" || return 1
  test ! -e "$(c_drive "$JOURNAL")" || return 1
  for file in "$E2E_PAYLOAD"/RTDLL_NT/* "$E2E_PAYLOAD_32"/RTDLL_95/*; do
    test ! -e "$(c_drive windows/system32)/$(basename "$file")" || return 1
    test ! -e "$(c_drive windows/syswow64)/$(basename "$file")" || return 1
  done
  reg_key_missing "$UNINSTALL_ENTRY" || return 1
  if [ "${1:-}" = windows ]; then
    test "$(product_reg query 'HKLM\Software\Corvane\Lumiro Install' 2>/dev/null | tr -d '\r' | grep -c REG_)" = 1 &&
      test "$(reg_value 'HKLM\Software\Corvane\Lumiro Install' 'Install Path')" = 'C:\Lumiro'
  else
    reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
  fi
}
