# Sourced by the end-to-end scenarios: each runs the real setup.exe in a
# fresh copy of the build's Wine prefix, drives its windows with driver.exe
# and then checks the disk and the registry from outside.
#
# Needs: LUMIRO_WINE_ROOT (the build's Wine folder, prepared by the test
# session), E2E_BIN (the folder with setup.exe, driver.exe and the packages).
set -Eeuo pipefail
. "${LUMIRO_SOURCE_DIR:?}/cmake/wine-env.sh"

# A scenario run in parts side by side sets E2E_PART: each part has a prefix
# and an output folder of its own.
E2E_NAME="$(basename "$0" .sh)${E2E_PART:+_$E2E_PART}"
# The build under test: 64 (x86_64) or 32 (i686). A 32-bit setup.exe on
# 64-bit Windows puts the runtime libraries into the system folder it sees,
# syswow64, and its control registers itself in the registry's 32-bit view.
E2E_BITS="${E2E_BITS:-64}"
if [ "$E2E_BITS" = 32 ]; then
  SYSTEM_FOLDER=windows/syswow64
  CONTROL_VIEW=/reg:32
else
  SYSTEM_FOLDER=windows/system32
  CONTROL_VIEW=/reg:64
fi
E2E_PREFIX="$LUMIRO_WINE_ROOT/e2e/$E2E_NAME"
E2E_OUT="$LUMIRO_WINE_ROOT/e2e-out/$E2E_NAME"
E2E_FAILURES=0

e2e_begin() {
  rm -rf "$E2E_PREFIX" "$E2E_OUT"
  mkdir -p "$(dirname "$E2E_PREFIX")" "$E2E_OUT"
  "$LUMIRO_SOURCE_DIR/cmake/wine-session.sh" pristine "$E2E_PREFIX"
  # The user's Desktop and Documents link to one home folder of the build that
  # every prefix shares: give this prefix folders of its own, so that links
  # the setup writes there belong to this scenario alone.
  local folder
  for folder in "$E2E_PREFIX"/drive_c/users/*/*; do
    if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
  done
  export WINEPREFIX="$E2E_PREFIX"
  setsid wineserver -p >/dev/null 2>&1 </dev/null &
  trap e2e_end EXIT
  # A command that fails outside a check ends the scenario (set -e): say
  # which, as the output would otherwise just stop.
  # (The trap also runs in command substitutions, which do not stop it.)
  trap 'e2e_status=$?; [ "$BASH_SUBSHELL" -ne 0 ] ||
    echo "$E2E_NAME: stopped at line $LINENO by: $BASH_COMMAND (status $e2e_status)" >&2' ERR
  MEDIA="$WINEPREFIX/drive_c/media"
  mkdir -p "$MEDIA"
  cp "$E2E_BIN/setup.exe" "$MEDIA/"
  cp "$E2E_BIN/driver.exe" "$E2E_BIN/watch_hook.dll" "$E2E_BIN/hold_file.exe" "$WINEPREFIX/drive_c/"
  for pkg in "$E2E_BIN"/*.PKG; do [ -e "$pkg" ] && cp "$pkg" "$MEDIA/"; done
  return 0
}

e2e_end() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  if [ "$status" -eq 0 ] && [ "$E2E_FAILURES" -eq 0 ] && [ -z "${LUMIRO_KEEP_E2E:-}" ]; then
    rm -rf "$E2E_PREFIX"
  fi
  if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "$E2E_NAME: $E2E_FAILURES check(s) failed" >&2
    exit 1
  fi
}

# The registry view the setup's records are read in: the 64-bit one, which
# both builds write (the 64-bit loader's own). Wine emulating Windows 98 for a
# 32-bit program ignores the request for the 64-bit view (Windows 98 has one
# view and never runs on 64-bit Windows), so there they are in the 32-bit
# view.
PRODUCT_VIEW=
product_reg() { reg64 "$@" $PRODUCT_VIEW; }

# Runs the given Windows version for setup.exe only (win98, winxp, win7, win10).
e2e_windows_version() {
  reg64 add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /d "$1" /f >/dev/null 2>&1
  if [ "$1" = win98 ] && [ "$E2E_BITS" = 32 ]; then PRODUCT_VIEW=/reg:32; else PRODUCT_VIEW=; fi
}

# driver STEP... : runs the automation driver; a failed step fails the scenario.
# A driver that ended with a failure before it printed a line took no step
# (its first step prints as soon as it has started the program, and every
# failed step prints why): it never got going under Wine, as seen once on a
# loaded machine without a word from Wine, and it runs once more.
driver() {
  local said="$E2E_OUT/driver-said.txt" status attempt
  for attempt in 1 2; do
    wine 'C:\driver.exe' "$@" | tee "$said" && status=0 || status=${PIPESTATUS[0]}
    [ "$status" -ne 0 ] && [ ! -s "$said" ] && [ "$attempt" -eq 1 ] || break
    echo "the driver ended with status $status before its first step; once more" >&2
  done
  if [ "$status" -ne 0 ]; then
    echo "driver failed (status $status)" >&2
    E2E_FAILURES=$((E2E_FAILURES + 1))
    return 1
  fi
}

# screenshot NAME: saves the screen as $E2E_OUT/NAME.png (and keeps the bmp
# when ImageMagick is missing).
screenshot() {
  driver screenshot "C:\\$1.bmp" >/dev/null || return 0
  local bmp="$WINEPREFIX/drive_c/$1.bmp"
  if command -v convert >/dev/null && convert "$bmp" "$E2E_OUT/$1.png" 2>/dev/null; then
    rm -f "$bmp"
  else
    mv "$bmp" "$E2E_OUT/$1.bmp"
  fi
}

check() {
  local what="$1"; shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    E2E_FAILURES=$((E2E_FAILURES + 1))
  fi
}

c_drive() { echo "$WINEPREFIX/drive_c/$1"; }
# unix_path WINDOWS_PATH: where a path of drive C: (C:\...) lies in the prefix.
unix_path() {
  local path="${1#[Cc]:}"
  echo "$WINEPREFIX/drive_c$(printf '%s' "$path" | tr '\\' /)"
}
# windows_path PATH: the Windows path (C:\...) of a path below drive_c.
windows_path() { printf 'C:\\%s\n' "$(printf '%s' "$1" | tr / '\\')"; }
reg_key_exists() { product_reg query "$1" >/dev/null 2>&1; }
reg_key_missing() { ! reg_key_exists "$1"; }
# registry_value 32|64 KEY NAME: a value (NAME empty: the key's default) in
# that registry view as reg query shows it, read by the driver: reg prints
# through the code page, which spells few names of other languages.
registry_value() {
  local value
  value="$(wine 'C:\driver.exe' regvalue "$1" "$2" "$3" 2>/dev/null | tr -d '\r')" && printf '%s\n' "$value"
}
# view_bits /reg:32|/reg:64|'': the bits of a view named as reg names it (none: the 64-bit one).
view_bits() { if [ "$1" = /reg:32 ]; then echo 32; else echo 64; fi; }
reg_value() { registry_value "$(view_bits "$PRODUCT_VIEW")" "$1" "$2"; }

# check_installed PAYLOAD_SUBDIR WINDOWS_FOLDER: every payload file of the
# package lies in the folder (a path below drive_c) with the same contents
# and the same last-write time, which the package carried.
check_installed() {
  local payload="${E2E_PAYLOAD:?}/$1" folder
  folder="$(c_drive "$2")"
  local file name
  for file in "$payload"/*; do
    name="$(basename "$file")"
    check "$2/$name has the package's contents" cmp -s "$file" "$folder/$name"
    check "$2/$name has the entry's last-write time" \
      test "$(stat -c %Y "$file")" = "$(stat -c %Y "$folder/$name" 2>/dev/null)"
  done
}

# link_field LINK FIELD: a field of the shell link (a path below drive_c) as
# an independent parser, lnkinfo, reads it ("Local path", "Description",
# "Icon location", "Icon index").
link_field() {
  lnkinfo "$(c_drive "$1")" 2>/dev/null | awk -F '\t+: ' -v f="$2" '$1 ~ "^\t" f "$" { print $2; exit }'
}
# link_target LINK: the target of the shell link (a path below drive_c) as
# the shell reads it from the link's item list, which names it in Unicode.
link_target() {
  local target
  target="$(wine 'C:\driver.exe' linktarget "$(windows_path "$1")" 2>/dev/null | tr -d '\r')" && printf '%s\n' "$target"
}
# in_ascii TEXT: TEXT is plain ASCII.
in_ascii() { ! LC_ALL=C grep -q '[^ -~]' <<<"$1"; }

# check_links TARGET LINK...: each link (a path below drive_c) points to
# TARGET (a Windows path), is described as "Lumiro" and shows TARGET's
# second icon. The link information's local path is checked for a target in
# ASCII only: Wine keeps it in the code page alone, and the item list is
# what names any other target exactly.
check_links() {
  local target="$1" link; shift
  for link in "$@"; do
    check "$link exists" test -f "$(c_drive "$link")"
    check "$link points to $target" test "$(link_target "$link")" = "$target"
    if in_ascii "$target"; then
      check "$link's link information names $target" test "$(link_field "$link" "Local path")" = "$target"
    fi
    check "$link is described as Lumiro" test "$(link_field "$link" Description)" = "Lumiro"
    check "$link shows the second icon of $target" \
      test "$(link_field "$link" "Icon location"):$(link_field "$link" "Icon index")" = "$target:1"
  done
}

# check_control_registered CLASS_KEY PATH: the control's class key (below
# HKEY_CLASSES_ROOT) names PATH as its in-process server.
check_control_registered() {
  check "$1 names $2" test "$(registry_value "$(view_bits $CONTROL_VIEW)" "HKCR\\$1\\InprocServer32" '')" = "$2"
}

# control_missing CLASS_KEY: no control of that class is registered.
control_missing() { ! "$WINE64_LOADER" reg query "HKCR\\$1" $CONTROL_VIEW >/dev/null 2>&1; }
# no_pending_renames: nothing waits in the delayed moves for a restart.
no_pending_renames() {
  ! reg64 query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations >/dev/null 2>&1
}

# The class keys of the sample controls UiCtlsU.ocx and UiCtlsA.ocx.
CONTROL_U_CLASS='CLSID\{F8853CCA-EC03-4FEE-8E74-B1CC05ECD521}'
CONTROL_A_CLASS='CLSID\{FFFBE08E-984B-4262-A79D-E4AE18205B23}'

# hold_file WINDOWS_PATH: another process holds the file open without
# sharing until release_file; waits until it does.
hold_file() {
  rm -f "$(c_drive held.signal)"
  wine 'C:\hold_file.exe' "$1" 'C:\held.signal' >/dev/null 2>&1 &
  HOLD_PID=$!
  for _ in $(seq 200); do
    [ -e "$(c_drive held.signal)" ] && return 0
    sleep 0.05
  done
  echo "hold_file: $1 was not held" >&2
  E2E_FAILURES=$((E2E_FAILURES + 1))
  return 1
}
release_file() {
  rm -f "$(c_drive held.signal)"
  wait "$HOLD_PID" || true
}

# The main dialog's caption: the setup's own build.
MAIN_DIALOG='Lumiro (Build 2093)'
# Driver steps into a new installation in the folder proposed: install in
# the main dialog, the agreement accepted, the path dialog's OK.
NEW_INSTALL=(click "$MAIN_DIALOG" 1001 click License 1002 click License 1001 click 'Choose Install Path' 1)
# Driver steps into an upgrade: the main dialog's install button (the
# agreement and the path dialog are not shown).
UPGRADE=(click "$MAIN_DIALOG" 1001)
COMPLETED='Installation is complete.  Thank you for installing Lumiro'
# The last message of a run that failed or was cancelled: what its undo left.
UNDONE_NEW='Setup has undone its changes: nothing was left of the installation.'
undone_upgrade() { echo "Setup has undone its changes: Lumiro (Build $1) is as it was before."; }
# The journal a run keeps while it changes the machine.
JOURNAL=windows/'Lumiro Setup.journal'
UNINSTALL_BUTTON=1002
# The uninstall window's log after the three stages.
UNINSTALL_LOG='Removing Program Files... done.\nRemoving Registry Information... done.\nRemove Icons... done.\n'

# The stage line of the progress window through a whole installation: blank
# when the window opens, then each stage in order, the check of the medium's
# packages first.
ALL_STAGES='|Checking the installation medium|Creating folders|Installing files|Configuring software.|Creating shortcuts|Registering components|Registering OLE Controls'

# asking PATH: the start of the replace question about the file at PATH (a
# pattern for the driver's text steps).
asking() { printf 'Do you wish to replace the file "%s"*' "$1"; }

# install_completes: setup.exe runs a whole new installation into C:\Lumiro
# without a question, shows every stage in order and ends after the
# completion message.
install_completes() {
  driver watch Installing 1003 start 'C:\media\setup.exe' "${NEW_INSTALL[@]}" \
    message "$COMPLETED" 1 \
    watched "$ALL_STAGES" \
    exit 0
}

# record_installed_build BUILD [PATH]: the registry records an installation
# of that build (in PATH, when given), as an earlier setup would have.
record_installed_build() {
  product_reg add 'HKLM\Software\Corvane\Lumiro Install' /v 'Build Number' /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  if [ -n "${2:-}" ]; then
    product_reg add 'HKLM\Software\Corvane\Lumiro Install' /v 'Install Path' /d "$2" /f >/dev/null 2>&1
  fi
}

# reinstall_with_held_file PATH (below C:, with slashes): after a first
# installation, the file (which has no version, so the real Replace File
# dialog asks) gets old contents and is held open by another program while
# setup.exe runs again as an upgrade from an older build; the driver answers
# Yes and declines the restart, so the setup ends with 3010.
reinstall_with_held_file() {
  printf 'old contents' > "$(c_drive "$1")"
  record_installed_build 2092
  hold_file "C:\\$(echo "$1" | tr / '\\')"
  driver start 'C:\media\setup.exe' "${UPGRADE[@]}" \
    window 'Replace File' click 'Replace File' 1 \
    message 'Setup must now restart your computer.  Do you wish to restart now?' 7 \
    exit 3010
  release_file
}

# make_package PATH: writes a package at PATH from the JSON description on
# standard input (tests/support/package_layout.py), byte by byte, so that a
# scenario can hand setup.exe packages no packer of ours would make.
make_package() {
  python3 "$LUMIRO_SOURCE_DIR/tests/support/package_layout.py" "$1"
}

# no_temporary_files FOLDER (below C:): the writer left no $tmp file there.
no_temporary_files() {
  ! ls "$(c_drive "$1")"/\$tmp* >/dev/null 2>&1
}

# The product's entry in Windows' list of installed programs.
UNINSTALL_ENTRY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiro'
# entry_value NAME: a value of the entry as Windows reads it.
entry_value() { reg_value "$UNINSTALL_ENTRY" "$1"; }

# The setup's log is UTF-8; a new log begins with a byte-order mark.
# log_lines FILE: the log's lines as text, without the mark and without CRs.
log_lines() { LC_ALL=C sed '1s/^\xEF\xBB\xBF//' "$1" | tr -d '\r'; }
# log_has FILE TEXT: a line of the log reads TEXT after its time stamp.
# (grep reads to the end: one that stopped at the first match would fail
# the pipeline's writer.)
log_has() { log_lines "$1" | cut -b 22- | grep -xF -- "$2" >/dev/null; }
# log_mentions FILE TEXT: a line of the log holds TEXT.
log_mentions() { log_lines "$1" | grep -F -- "$2" >/dev/null; }
# log_is_utf8 FILE: the log is UTF-8 throughout and begins with the
# byte-order mark, which is nowhere else (a run that appends adds none).
log_is_utf8() {
  iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1 &&
    test "$(head -c 3 "$1" | od -An -tx1 | tr -d ' \n')" = efbbbf &&
    test "$(LC_ALL=C grep -c $'\xEF\xBB\xBF' "$1")" = 1
}

# use_temporary_folder WINDOWS_PATH: the user's temporary folder (TEMP and
# TMP of HKCU\Environment) is made and set; the prefix restarts, so that
# every program from now on has it.
use_temporary_folder() {
  mkdir -p "$(unix_path "$1")"
  reg64 add 'HKCU\Environment' /v TEMP /d "$1" /f >/dev/null 2>&1
  reg64 add 'HKCU\Environment' /v TMP /d "$1" /f >/dev/null 2>&1
  restart_prefix
}

# The files of Lumiro's in the prefix's temporary folders.
lumiro_temporary_files() {
  find "$WINEPREFIX/drive_c/users" "$WINEPREFIX/drive_c/windows/temp" -iname 'LumiroSetup*' 2>/dev/null
}

# restart_prefix: the prefix's "computer" restarts: its server goes and
# wineboot -r carries out what was queued for the restart.
restart_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  wineboot -r >/dev/null 2>&1
  setsid wineserver -p >/dev/null 2>&1 </dev/null &
}
