#!/usr/bin/env bash
# The rooms under src/ stand in one order, each including only itself and
# the rooms below it, so a reader can tell which stands on which:
#
#   resources  portable  package  framework  core  undo  shell  registry
#   install  run  gui/ui  gui/app
#
# (resource numbers; the UTF-8 layer; the package library; the Windows
# helpers; the run's context, seams and platform facts; the undo journal; the
# steps; the sequences and the run's composition; the dialogs; the
# application.) Lists every #include of a room above the including file's,
# and exits 1 when it finds one.
#
#   include_order.sh SOURCE_DIR
set -u
cd "${1:?source folder}" || exit 2
rooms=(resources portable package framework core undo shell registry install run gui/ui gui/app)
rank() {
  local i
  for i in "${!rooms[@]}"; do
    if [ "${rooms[$i]}" = "$1" ]; then echo "$i"; return; fi
  done
  echo -1
}

found=0
while IFS= read -r file; do
  room="${file#src/}"
  room="${room%%/*}"
  [ "$room" = gui ] && { room="${file#src/}"; room="${room#gui/}"; room="gui/${room%%/*}"; }
  mine=$(rank "$room")
  if [ "$mine" -lt 0 ]; then
    echo "$file: in no room of the order"
    found=1
    continue
  fi
  while IFS=: read -r line included; do
    target="${included%%/*}"
    # The application's files name the gui rooms without gui/ (its include
    # path is src/gui).
    case "$target" in app | ui) target="gui/$target" ;; esac
    theirs=$(rank "$target")
    if [ "$theirs" -lt 0 ] || [ "$theirs" -gt "$mine" ]; then
      echo "$file:$line: $room includes $included"
      found=1
    fi
  done < <(grep -noE '^\s*#\s*include\s+"[a-z]+/[^"]+"' "$file" | sed -E 's/^([0-9]+):.*"([^"]+)"/\1:\2/')
done < <(find src -name '*.cpp' -o -name '*.h' | sort)

if [ "$found" -ne 0 ]; then
  echo "includes against the order of the rooms under src/ (tests/source/include_order.sh)"
  exit 1
fi
echo "every include stands on its own room or one below it"
