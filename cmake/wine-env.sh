# Sourced by the Wine helpers: the environment of the build tree's own Wine.
# LUMIRO_WINE_ROOT is the folder that holds the prefix, a HOME for Wine and
# the display file; it belongs to one build tree and never to the user.
: "${LUMIRO_WINE_ROOT:?LUMIRO_WINE_ROOT must name the Wine folder of the build tree}"
export WINEPREFIX="$LUMIRO_WINE_ROOT/prefix"
export HOME="$LUMIRO_WINE_ROOT/home"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
if [ -z "${LUMIRO_KEEP_DISPLAY:-}" ] && [ -f "$LUMIRO_WINE_ROOT/display" ]; then
  DISPLAY="$(cat "$LUMIRO_WINE_ROOT/display")"
  export DISPLAY
fi
