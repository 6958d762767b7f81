#!/usr/bin/env bash
# plant_links.sh plant|remove: plants (or removes) C:\lumiro-links in the
# build's prefix: a tree with Unix symbolic links to folders outside it, and
# a link in place of a tree, and a Unix link to a file outside the tree. Only a Unix program can make these links.
set -euo pipefail
. "${LUMIRO_SOURCE_DIR:?}/cmake/wine-env.sh"
root="$WINEPREFIX/drive_c/lumiro-links"
rm -rf "$root"
[ "${1:-}" = remove ] && exit 0
mkdir -p "$root/tree/sub" "$root/outside/inner" "$root/emptyoutside"
echo data > "$root/tree/sub/file.txt"
echo keep > "$root/outside/keep.txt"
echo deep > "$root/outside/inner/deep.txt"
ln -s ../outside "$root/tree/link"
ln -s ../emptyoutside "$root/tree/emptylink"
ln -s ../outside/keep.txt "$root/tree/filelink"
ln -s outside "$root/toplink"
