#!/usr/bin/env bash
# Package entries named in other languages on the NT family: an
# application package that lumpack made from a tree with a file named in
# Chinese and one in a Greek folder is installed under those very names,
# beside nothing with a look-alike name, which the log (UTF-8) quotes; the
# entry's QuietUninstallString removes them with the rest.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
tree="$E2E_OUT/tree"
mkdir -p "$tree/Οδηγίες"
cp -p "$E2E_PAYLOAD"/APPS_NT/* "$tree/"
echo "Lumiro: 说明" > "$tree/说明.txt"
echo "Lumiro: οδηγός" > "$tree/Οδηγίες/οδηγός.txt"
rm -f "$MEDIA/APPS_NT.PKG"
"${HOST_LUMPACK:?}" create "$MEDIA/APPS_NT.PKG" "$tree" >/dev/null
programs="$(c_drive Lumiro/Programs)"
log="$(c_drive setup.log)"

driver startwith 'C:\media\setup.exe' '/S /LOG="C:\setup.log"' nowindow exit 0
check_installed APPS_NT Lumiro/Programs
for entry in '说明.txt' 'Οδηγίες\οδηγός.txt'; do
  file="$(printf '%s' "$entry" | tr '\\' /)"
  check "Programs\\$entry is installed under its name" cmp -s "$tree/$file" "$programs/$file"
  check "the log names Programs\\$entry" log_has "$log" "File written new: C:\\Lumiro\\Programs\\$entry"
done
check "Programs holds the package's names and no other" \
  diff <(cd "$tree" && find . | sort) <(cd "$programs" && find . | sort)
check "the log is UTF-8 with a byte-order mark" log_is_utf8 "$log"

driver startcmd "$(entry_value QuietUninstallString) /LOG=\"C:\\setup.log\"" nowindow exit 0
check "the removal took them with the rest" test ! -e "$(c_drive Lumiro)"
check "the log appended to is UTF-8 with one byte-order mark, at its start" log_is_utf8 "$log"
