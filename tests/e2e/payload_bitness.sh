#!/usr/bin/env bash
# The payload's own bitness decides, not the setup's: this build's setup.exe
# installs files of the other bitness (E2E_OTHER_PAYLOAD) on 64-bit Windows.
#  - runtime libraries of the other kind (and a data file beside them) go
#    into that kind's system folder and nowhere else, on the Windows 7 and 10
#    paths; the log and the journal name that folder; an upgrade killed at
#    its replace question is undone there by the next start; a removal keeps
#    them, as it keeps the runtime libraries always;
#  - the whole payload of the other kind: its control registers through the
#    system's regsvr32 of that kind, in that kind's registry view. Where the
#    prefix has no such program (Wine without its 32-bit half), nothing of the
#    control ran: the run ends with 1603, undone whole, and never says that
#    the control could not be unregistered.
. "$(dirname "$0")/e2e-lib.sh"
other="${E2E_OTHER_PAYLOAD:?}"
if [ "$E2E_BITS" = 64 ]; then
  other_bits=32 other_folder=windows/syswow64 own_folder=windows/system32 other_view=/reg:32
else
  other_bits=64 other_folder=windows/system32 own_folder=windows/syswow64 other_view=/reg:64
fi
e2e_begin
other_windows="C:\\$(echo "$other_folder" | tr / '\\')"
log="$(c_drive setup.log)"
log_arg='/LOG="C:\setup.log"'
logged() { log_mentions "$log" "$1"; }
not_logged() { ! logged "$1"; }
libs=(LumRtl.dll pi_w32.dll LumRtl.cfg)

# pack FOLDER PAYLOAD_DIR [EXTRA...]: the medium's package of that name from
# a payload folder and extra files.
pack() {
  local name="$1" from="$2" tree="$E2E_OUT/tree-$1"; shift 2
  rm -rf "$tree" && mkdir -p "$tree" && cp "$from"/* "$tree/"
  [ $# -eq 0 ] || cp "$@" "$tree/"
  rm -f "$MEDIA/$name.PKG"
  "${HOST_LUMPACK:?}" create "$MEDIA/$name.PKG" "$tree" >/dev/null
}
printf '[runtime]\r\nkind=data\r\n' > "$E2E_OUT/LumRtl.cfg"

# --- Runtime libraries of the other kind with this build's application.
pack RTDLL_NT "$other/RTDLL_NT" "$E2E_OUT/LumRtl.cfg"
for version in win7 win10; do
  e2e_windows_version "$version"
  rm -f "$log"
  driver startwith 'C:\media\setup.exe' "/S $log_arg" nowindow exit 0
  for lib in "${libs[@]}"; do
    source_file="$other/RTDLL_NT/$lib"; [ -f "$source_file" ] || source_file="$E2E_OUT/LumRtl.cfg"
    check "$version: $lib is in $other_folder" cmp -s "$source_file" "$(c_drive "$other_folder/$lib")"
    check "$version: $lib is not in $own_folder" test ! -e "$(c_drive "$own_folder/$lib")"
    check "$version: the log names $lib in $other_folder" logged "File written new: $other_windows\\$lib"
  done
  check_control_registered "$CONTROL_U_CLASS" 'C:\Lumiro\Programs\UiCtlsU.ocx'
  driver startwith 'C:\media\setup.exe' "/S /UNINSTALL $log_arg" nowindow exit 0
  check "$version: the removal takes the folder" test ! -e "$(c_drive Lumiro)"
  check "$version: the removal keeps the runtime libraries" test -f "$(c_drive "$other_folder/LumRtl.dll")"
  rm -f "$(c_drive "$other_folder")"/{LumRtl.dll,pi_w32.dll,LumRtl.cfg}
done

# --- An upgrade killed at its last replace question (ReaderRes.dll), after
# it replaced LumRtl.cfg and LumRtl.dll in the other kind's folder (Yes to
# each, as neither has a version the older copies could be judged by): the
# next start puts them back there.
e2e_windows_version win10
driver startwith 'C:\media\setup.exe' "/S $log_arg" nowindow exit 0
echo "older LumRtl.dll" > "$(c_drive "$other_folder/LumRtl.dll")"
echo "older LumRtl.cfg" > "$(c_drive "$other_folder/LumRtl.cfg")"
echo "older ReaderRes.dll" > "$(c_drive Lumiro/Programs/ReaderRes.dll)"
record_installed_build 2092
rm -f "$log"
driver startwith 'C:\media\setup.exe' "$log_arg" "${UPGRADE[@]}" \
  windowtext 'Replace File' 1007 "$(asking "$other_windows\\LumRtl.cfg")" click 'Replace File' 1 \
  windowtext 'Replace File' 1007 "$(asking "$other_windows\\LumRtl.dll")" click 'Replace File' 1 \
  windowtext 'Replace File' 1007 "$(asking 'C:\Lumiro\Programs\ReaderRes.dll')" kill
check "killed: LumRtl.dll had been replaced in $other_folder" \
  cmp -s "$other/RTDLL_NT/LumRtl.dll" "$(c_drive "$other_folder/LumRtl.dll")"
check "killed: the journal names the file in $other_folder" \
  grep -qiF "$other_windows\\LumRtl.dll" "$(c_drive "$JOURNAL")"
driver startwith 'C:\media\setup.exe' "$log_arg" \
  message "The last run of Setup on this computer was interrupted before it finished.  $(undone_upgrade 2092)" 1 \
  window "$MAIN_DIALOG" click "$MAIN_DIALOG" 2 exit 1602
check "killed: the older LumRtl.dll is back in $other_folder" \
  test "$(cat "$(c_drive "$other_folder/LumRtl.dll")")" = "older LumRtl.dll"
check "killed: and the older LumRtl.cfg" \
  test "$(cat "$(c_drive "$other_folder/LumRtl.cfg")")" = "older LumRtl.cfg"
check "killed: the log names them there" logged "Undone: file put back: $other_windows\\LumRtl.dll"
check "killed: nothing of the run stays in either system folder" \
  test -z "$(find "$(c_drive "$other_folder")" "$(c_drive "$own_folder")" -maxdepth 1 \( -name '$old*' -o -name '$tmp*' -o -iname 'LumRtl.dll' -path "*$own_folder*" \))"
driver startwith 'C:\media\setup.exe' "/S /UNINSTALL" nowindow exit 0
rm -f "$(c_drive "$other_folder")"/{LumRtl.dll,pi_w32.dll,LumRtl.cfg}

# --- The whole payload of the other kind, its control too.
pack APPS_NT "$other/APPS_NT"
rm -f "$log"
if [ -f "$(c_drive "$other_folder/regsvr32.exe")" ]; then
  driver startwith 'C:\media\setup.exe' "/S $log_arg" nowindow exit 0
  check "whole: the control names itself in the $other_bits-bit view" \
    test "$(registry_value "$other_bits" "HKCR\\$CONTROL_U_CLASS\\InprocServer32" '')" = 'C:\Lumiro\Programs\UiCtlsU.ocx'
  check "whole: LumRtl.dll is in $other_folder" test -f "$(c_drive "$other_folder/LumRtl.dll")"
  driver startwith 'C:\media\setup.exe' "/S /UNINSTALL $log_arg" nowindow exit 0
  check "whole: the removal takes the folder" test ! -e "$(c_drive Lumiro)"
  check "whole: and the records" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
else
  echo "no $other_bits-bit regsvr32 in this prefix: the control cannot be registered"
  driver startwith 'C:\media\setup.exe' "/S $log_arg" nowindow exit 1603
  check "whole: the log's last line is the registration's failure" \
    test "$(log_lines "$log" | tail -n 1 | cut -b 22-)" = 'Exit code 1603: Failed to register OLE control "C:\Lumiro\Programs\UiCtlsU.ocx"'
  check "whole: the undo is complete" logged "$UNDONE_NEW"
  check "whole: it never says the control could not be unregistered" not_logged 'could not be unregistered'
  check "whole: nothing is left in C:\\" test ! -e "$(c_drive Lumiro)"
  check "whole: no runtime library in $other_folder" test ! -e "$(c_drive "$other_folder/LumRtl.dll")"
  check "whole: no records" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
fi
