# Sourced by the scenarios of runs that do not succeed (undo_runs.sh,
# undo_kills.sh): the platform's packages, control and links (UNDO_WINDOWS=
# win98 for the Windows 9x path), the log, and an application package made
# at test time.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
if [ "${UNDO_WINDOWS:-}" = win98 ]; then
  e2e_windows_version win98
  platform=95 control=UiCtlsA.ocx control_class="$CONTROL_A_CLASS"
  user="$(basename "$(ls -d "$(c_drive users)"/*/ | grep -v '/Public/$' | head -n 1)")"
  links=("users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" "users/$user/Desktop/Lumiro.lnk")
else
  platform=NT control=UiCtlsU.ocx control_class="$CONTROL_U_CLASS"
  links=("ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk)
fi
apps="APPS_$platform.PKG"
system_windows="C:\\$(echo "$SYSTEM_FOLDER" | tr / '\\')"
log="$(c_drive setup.log)"
log_arg='/LOG="C:\setup.log"'
key='HKLM\Software\Corvane\Lumiro Install'
logged() { log_mentions "$log" "$1"; }
last_line() { tail -n 1 "$log" | tr -d '\r' | cut -c 22-; }
cp "$MEDIA/$apps" "$E2E_OUT/$apps"

# pack_apps EXTRA...: the application package on the medium, made with
# lumpack from the sample payload and the files or folders given.
pack_apps() {
  local tree="$E2E_OUT/tree"
  rm -rf "$tree" && mkdir -p "$tree"
  cp "$E2E_PAYLOAD/APPS_$platform"/* "$tree/"
  [ $# -eq 0 ] || cp -r "$@" "$tree/"
  rm -f "$MEDIA/$apps"
  "${HOST_LUMPACK:?}" create "$MEDIA/$apps" "$tree" >/dev/null
}


# unattended_exit ARGUMENTS CODE: setup.exe with ARGUMENTS shows no window
# and ends with CODE.
unattended_exit() { driver startwith 'C:\media\setup.exe' "$1" nowindow exit "$2"; }
