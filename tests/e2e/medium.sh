#!/usr/bin/env bash
# The medium as a deployment tool takes it: made by the medium command from
# the sample payload's folders (the Windows 9x runtime libraries' folder not
# given, so that package is empty), its zip unpacked as winget unpacks a zip
# installer, and the setup.exe in it run with the manifest's own silent,
# install-location and log switches. It installs without a window and ends
# with 0; every file has its folder's contents and SOURCE_DATE_EPOCH as its
# time, and the entry in Windows' list of programs is the one the manifest
# tells winget to look for. Then, removed again, the i686 build's medium
# installs under Windows 98 from its empty runtime package and its 9x
# application one, of 32-bit files (the x86_64 build never runs on Windows
# 9x: its medium carries the same 32-bit 9x package for the 32-bit build).
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
epoch=1700000000
made="$E2E_OUT/medium"
SOURCE_DATE_EPOCH=$epoch python3 "$LUMIRO_SOURCE_DIR/tools/medium/make_medium.py" \
  --setup "${MEDIUM_SETUP:?}" --lumpack "${HOST_LUMPACK:?}" \
  --apps-nt "$E2E_PAYLOAD/APPS_NT" --rtdll-nt "$E2E_PAYLOAD/RTDLL_NT" --apps-95 "${E2E_PAYLOAD_32:?}/APPS_95" \
  "$made" > "$E2E_OUT/make-medium.txt"
zip=("$made"/Lumiro-*.zip)
python3 -m zipfile -e "${zip[0]}" "$(c_drive winget/medium)"

# manifest_value KEY...: a value of the manifest, read by a YAML parser.
manifest_value() {
  python3 -c 'import sys, yaml
value = yaml.safe_load(open(sys.argv[1]))
for key in sys.argv[2:]:
    value = value[int(key) if key.isdigit() else key]
print(value)' "$made/Corvane.Lumiro.installer.yaml" "$@"
}
# The command line winget gives the nested installer: the silent switch, the
# log and the install location with their tokens replaced.
log='C:\winget\install.log'
folder='C:\Apps\Lumiro'
location="$(manifest_value InstallerSwitches InstallLocation)"
log_switch="$(manifest_value InstallerSwitches Log)"
switches="$(manifest_value InstallerSwitches Silent) ${log_switch/"<LOGPATH>"/"$log"} ${location/"<INSTALLPATH>"/"$folder"}"
check "the switches read as winget would pass them" test "$switches" = '/S /LOG="C:\winget\install.log" /DIR="C:\Apps\Lumiro"'
driver startwith "C:\\winget\\medium\\$(manifest_value NestedInstallerFiles 0 RelativeFilePath)" "$switches" \
  nowindow exit 0

check "the log was written where winget asked" test -s "$(c_drive winget/install.log)"
for pair in "APPS_NT:Apps/Lumiro/Programs" "RTDLL_NT:$SYSTEM_FOLDER"; do
  for file in "$E2E_PAYLOAD/${pair%%:*}"/*; do
    target="$(c_drive "${pair#*:}")/$(basename "$file")"
    check "${pair#*:}/$(basename "$file") has the folder's contents" cmp -s "$file" "$target"
    check "${pair#*:}/$(basename "$file") has SOURCE_DATE_EPOCH as its time" test "$(stat -c %Y "$target")" = "$epoch"
  done
done
for field in DisplayName Publisher DisplayVersion; do
  check "the entry's $field is the manifest's" \
    test "$(entry_value "$field")" = "$(manifest_value AppsAndFeaturesEntries 0 "$field")"
done
check "the entry is the key the manifest's ProductCode names" \
  reg_key_exists "${UNINSTALL_ENTRY%\\*}\\$(manifest_value AppsAndFeaturesEntries 0 ProductCode)"
driver startwith 'C:\winget\medium\setup.exe' '/UNINSTALL /S' nowindow exit 0

check "the medium command names the 9x package's files as 32-bit" \
  grep -qE '^APPS_95\.PKG: .*: 3 32-bit \(x86\) images$' "$E2E_OUT/make-medium.txt"
[ "$E2E_BITS" = 32 ] || exit 0

# Windows 98 reads RTDLL_95.PKG, which holds nothing, and APPS_95.PKG.
e2e_windows_version win98
driver startwith 'C:\winget\medium\setup.exe' '/S /DIR="C:\Lumiro95" /LOG="C:\winget\win98.log"' nowindow exit 0
for file in "$E2E_PAYLOAD_32"/APPS_95/*; do
  check "Lumiro95/Programs/$(basename "$file") has the folder's contents" \
    cmp -s "$file" "$(c_drive Lumiro95/Programs)/$(basename "$file")"
done
# The NT run left the runtime libraries in the system folder: a package that
# held them would log each as kept or written.
check "the log names no runtime library: the package was empty" \
  bash -c '! grep -qiE "LumRtl|pi_w32" "$1"' _ "$(c_drive winget/win98.log)"
check "the log lists the 9x files it wrote" bash -c 'tr -d "\r" < "$1" | grep -q "File written new: .*Reader95.exe"' _ \
  "$(c_drive winget/win98.log)"
