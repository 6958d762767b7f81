#!/usr/bin/env bash
# Folders made as needed: an application package that lumpack made from a
# tree with subfolders (and an empty one, kept with --dirs), installed into
# a typed folder whose parent does not exist. The uninstall then removes the
# install folder with what a person left in it (a path longer than MAX_PATH,
# a name the code page cannot spell, a read-only file), never the parent it
# made. A second installation with a file held open ends its uninstall
# saying which folder keeps items, not with the success text.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

tree="$E2E_OUT/tree"
mkdir -p "$tree/Help/en" "$tree/Help/de" "$tree/Samples/empty"
cp "$E2E_PAYLOAD"/APPS_NT/* "$tree/"
echo "Lumiro help" > "$tree/Help/en/index.txt"
echo "Lumiro Hilfe" > "$tree/Help/de/index.txt"
rm -f "$MEDIA/APPS_NT.PKG"
"${HOST_LUMPACK:?}" create --dirs "$MEDIA/APPS_NT.PKG" "$tree" >/dev/null

path_dialog='Choose Install Path'
install_into_tools() {
  driver start 'C:\media\setup.exe' \
    click "$MAIN_DIALOG" 1001 click License 1002 click License 1001 \
    settext "$path_dialog" 1004 'C:\Tools\Lumiro' click "$path_dialog" 1 \
    message "$COMPLETED" 1 \
    exit 0
}
install_into_tools
check "the typed folder's missing parent was made" test -d "$(c_drive Tools)"
for file in Help/en/index.txt Help/de/index.txt ReaderNT.exe; do
  check "Programs/$file is installed" cmp -s "$tree/$file" "$(c_drive "Tools/Lumiro/Programs/$file")"
done
check "the empty folder of a Directory entry is made" test -d "$(c_drive Tools/Lumiro/Programs/Samples/empty)"

# What a person or an earlier version left: beyond MAX_PATH, outside the
# code page, read-only.
deep="$(c_drive Tools/Lumiro/Documents)"
for _ in 1 2 3 4 5; do deep="$deep/$(printf 'd%.0s' $(seq 60))"; done
mkdir -p "$deep" && echo "deep" > "$deep/notes.txt"
echo "foreign" > "$(c_drive Tools/Lumiro/Documents)/$(printf '\xe4\xb8\xad\xe6\x96\x87').txt"
echo "read-only" > "$(c_drive Tools/Lumiro/Logs/kept.log)" && chmod a-w "$(c_drive Tools/Lumiro/Logs/kept.log)"

driver start 'C:\media\setup.exe' click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" \
  text Uninstalling 1008 "$UNINSTALL_LOG" \
  message 'Uninstall completed successfully.' 1 \
  exit 0
check "the install folder is gone with everything in it" test ! -e "$(c_drive Tools/Lumiro)"
check "the parent the installation made stays" test -d "$(c_drive Tools)"

install_into_tools
hold_file 'C:\Tools\Lumiro\Programs\Help\en\index.txt'
driver start 'C:\media\setup.exe' click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" \
  message 'Unable to delete file "C:\Tools\Lumiro\Programs\Help\en\index.txt" because *' 1 \
  message 'Unable to delete folder "C:\Tools\Lumiro\Programs\Help\en" because *' 1 \
  message 'Unable to delete folder "C:\Tools\Lumiro\Programs\Help" because *' 1 \
  message 'Unable to delete folder "C:\Tools\Lumiro\Programs" because *' 1 \
  message 'Unable to delete folder "C:\Tools\Lumiro" because *' 1 \
  text Uninstalling 1008 'Removing Program Files... some items remain.\nRemoving Registry Information... done.\nRemove Icons... done.\n' \
  message 'Uninstall finished, but some items could not be removed from "C:\Tools\Lumiro".  You can delete them yourself.' 1 \
  exit 1603
release_file
check "the held file stays" test -f "$(c_drive Tools/Lumiro/Programs/Help/en/index.txt)"
check "the rest of the tree is gone" test ! -e "$(c_drive Tools/Lumiro/Programs/ReaderNT.exe)"
check "the product key is gone" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
