#!/usr/bin/env bash
# Packages built byte by byte against an installed copy (NT family): a
# stream that holds more than its record of 0 bytes, names ending in a dot
# or a space, a full path longer than MAX_PATH, and a file entry where a
# folder is. Each stops the upgrade with its message before anything of the
# entry is written, and the upgrade is undone: the older copy stays whole, no
# temporary file stays, nothing is queued for a restart.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

install_completes
programs='C:\Lumiro\Programs'
older="$E2E_OUT/ReaderRes.dll"
cp "$(c_drive Lumiro/Programs/ReaderRes.dll)" "$older"

# upgrade_stops MESSAGE [STEP...]: the hostile APPS_NT.PKG is in the media
# folder; an upgrade from build 2092 shows MESSAGE (after the driver steps
# given) and ends with 1603 (failed).
upgrade_stops() {
  local message="$1"; shift
  record_installed_build 2092
  driver start 'C:\media\setup.exe' "${UPGRADE[@]}" "$@" message "$message" 1 \
    message "$(undone_upgrade 2092)" 1 exit 1603
}

head -c 204800 /dev/urandom > "$E2E_OUT/stream.bin"
make_package "$MEDIA/APPS_NT.PKG" <<JSON
{"entries": [{"name": "ReaderRes.dll", "file": "$E2E_OUT/stream.bin", "size": 0}]}
JSON
upgrade_stops 'Read from package failed - *' window 'Replace File' click 'Replace File' 1
check "a stream longer than its record of 0 leaves the older ReaderRes.dll whole" \
  cmp -s "$older" "$(c_drive Lumiro/Programs/ReaderRes.dll)"
check "no temporary file after the damaged entry" no_temporary_files Lumiro/Programs

for name in 'a.txt.' 'a.txt ' 'a.txt. . ' 'ReaderRes.dll.'; do
  make_package "$MEDIA/APPS_NT.PKG" <<JSON
{"entries": [{"name": "$name", "text": "trailing"}]}
JSON
  upgrade_stops 'The package file "APPS_NT.PKG" is corrupt.'
  check "\"$name\" is refused: no file named like it" \
    test -z "$(find "$(c_drive Lumiro/Programs)" -name 'a.txt*' -o -name 'ReaderRes.dll?*')"
done
check "ReaderRes.dll is still the older copy" cmp -s "$older" "$(c_drive Lumiro/Programs/ReaderRes.dll)"

long="$(printf 'x%.0s' $(seq 250))"
make_package "$MEDIA/APPS_NT.PKG" <<JSON
{"entries": [{"name": "$long", "text": "too long"}]}
JSON
upgrade_stops "The file \"$programs\\$long\" cannot be installed because its full path is longer than Windows allows."
check "the 250-character name is not written" test ! -e "$(c_drive "Lumiro/Programs/$long")"

mkdir -p "$(c_drive Lumiro/Programs/ZZDir)"
echo "the person's own" > "$(c_drive Lumiro/Programs/ZZDir/inner.txt)"
make_package "$MEDIA/APPS_NT.PKG" <<JSON
{"entries": [{"name": "ZZDir", "text": "a file"}]}
JSON
upgrade_stops "The file \"$programs\\ZZDir\" cannot be installed because a folder of that name is in its place."
check "the folder in the way keeps its file" grep -q "person's own" "$(c_drive Lumiro/Programs/ZZDir/inner.txt)"
check "no temporary file after the folder in the way" no_temporary_files Lumiro/Programs
check "nothing is queued for a restart" no_pending_renames
