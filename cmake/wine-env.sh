# Sourced by the Wine helpers: the environment of the build tree's own Wine.
# LUMIRO_WINE_ROOT is the folder that holds the prefix, a HOME for Wine and
# the display file; it belongs to one build tree and never to the user.
: "${LUMIRO_WINE_ROOT:?LUMIRO_WINE_ROOT must name the Wine folder of the build tree}"
export WINEPREFIX="$LUMIRO_WINE_ROOT/prefix"
export HOME="$LUMIRO_WINE_ROOT/home"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
# Wine makes a program's Unicode command line (and every Unix file name) from
# the Unix side's bytes by the locale: UTF-8 here, whatever the caller's
# locale, so that a test hands a program names in any language. Wine's ANSI
# code page is then 1252, as on an English Windows, the same on every
# machine.
export LC_ALL=C.UTF-8
if [ -z "${LUMIRO_KEEP_DISPLAY:-}" ] && [ -f "$LUMIRO_WINE_ROOT/display" ]; then
  DISPLAY="$(cat "$LUMIRO_WINE_ROOT/display")"
  export DISPLAY
fi

# With Debian's wine32 installed, builtin programs started through plain
# `wine` (reg, cmd) run as 32-bit ones, and a 32-bit reg sees HKLM\Software
# through Wow6432Node. The helpers start reg with the 64-bit loader, which
# reads the 64-bit view (the one both builds of the setup write), and name
# /reg:32 where they mean the other.
WINE64_LOADER=/usr/lib/wine/wine64
[ -x "$WINE64_LOADER" ] || WINE64_LOADER=wine
# A change (add, delete, import) that fails is made once more: under load
# Wine now and then loses a new process in its own start-up, before reg has
# done anything, and each of these may be repeated without harm. A query is
# not: its failure says the key or value is missing.
reg64() {
  "$WINE64_LOADER" reg "$@" && return 0
  local status=$?
  case "${1:-}" in
    add | ADD | delete | DELETE | import | IMPORT) "$WINE64_LOADER" reg "$@" ;;
    *) return "$status" ;;
  esac
}
