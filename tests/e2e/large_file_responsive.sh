#!/usr/bin/env bash
# A 512 MiB file: while setup.exe writes it, its progress window answers
# messages from another program (WM_NULL within 200 ms, every 20 ms) from
# the moment it shows until it goes; the file arrives whole.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

# The application package's own files (the OLE control is registered at the
# end) and one file of 512 MiB.
large="$E2E_OUT/payload/large.bin"
mkdir -p "$(dirname "$large")"
cp "$E2E_PAYLOAD"/APPS_NT/* "$(dirname "$large")/"
# Lines of text with a counter: quick to pack, 512 MiB to expand and write.
seq -f 'Lumiro prompter line %09g of the large test file' 1 9942100 > "$large"
truncate -s 536870912 "$large"
"${HOST_LUMPACK:?}" create "$MEDIA/APPS_NT.PKG.new" "$(dirname "$large")" >/dev/null
mv -f "$MEDIA/APPS_NT.PKG.new" "$MEDIA/APPS_NT.PKG"

driver start 'C:\media\setup.exe' "${NEW_INSTALL[@]}" \
  responsive Installing \
  message "$COMPLETED" 1 \
  exit 0
check "the large file arrived whole" cmp -s "$large" "$(c_drive Lumiro/Programs/large.bin)"
rm -rf "$E2E_OUT/payload" "$(c_drive Lumiro/Programs/large.bin)"
