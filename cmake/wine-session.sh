#!/usr/bin/env bash
# wine-session.sh start|stop|pristine DEST
#   start:    makes the prefix once (wineboot -i), starts an Xvfb display of the
#             build tree's own and a persistent wineserver for the test run.
#   stop:     ends the wineserver and the display.
#   pristine: copies the untouched prefix to DEST for a test that needs one
#             (copy_prefix).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
root="$LUMIRO_WINE_ROOT"
mkdir -p "$root" "$HOME"

# The Wine halves installed (64-bit only, or with Debian's wine32) and Wine's
# version: a prefix made before wine32 came no longer starts with it ("could
# not load kernel32.dll"), and another Wine would update the prefix's program
# files at its first start (which copy_prefix links), so a prefix is made anew
# when either changes.
wine_halves() {
  local half found=
  for half in /usr/lib/x86_64-linux-gnu/wine /usr/lib/i386-linux-gnu/wine; do
    [ -d "$half" ] && found="$found $half"
  done
  echo "$(wine --version 2>/dev/null || echo wine), halves:${found:- none}"
}

# copy_prefix FROM TO: a prefix of its own, as `cp -a` makes it, but for
# Wine's own program files (about 630 of the 700 MB), which are hard links
# to FROM's: nothing in a prefix writes into them (a test's programs add and
# replace files of their own; Wine would only when it updates the prefix,
# see wine_halves). Every other file, the registry files first of all (Wine
# rewrites them in place), is a copy of its own, so nothing done in TO
# reaches FROM. About 0.3 s instead of 2-5 s and 700 MB written per copy.
copy_prefix() {
  cp -al "$1" "$2"
  (cd "$1" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.nls' -o -iname '*.sys' \
      -o -iname '*.drv' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.tlb' -o -iname '*.ds' \
      -o -iname '*.msstyles' -o -iname '*.com' -o -iname '*.ax' -o -iname '*.icm' \) -print0 |
    xargs -0 -r cp -a --parents --remove-destination -t "$2")
}

make_prefix() {
  if [ -f "$root/prefix.ready" ] && [ "$(cat "$root/prefix.ready")" = "$(wine_halves)" ]; then
    return 0
  fi
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$root/pristine" "$root/prefix.ready"
  wineboot -i >/dev/null 2>&1 </dev/null
  # A managed window costs about two seconds at every close under Xvfb.
  reg64 add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  cp -a "$WINEPREFIX" "$root/pristine"
  wine_halves > "$root/prefix.ready"
}

start_display() {
  if [ -n "${LUMIRO_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  if [ -f "$root/xvfb.pid" ] && kill -0 "$(cat "$root/xvfb.pid")" 2>/dev/null; then return 0; fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    local pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      echo "$pid" > "$root/xvfb.pid"
      echo ":$n" > "$root/display"
      return 0
    fi
  done
  echo "wine-session: no free X display for Xvfb" >&2
  return 1
}

case "${1:-}" in
  start)
    make_prefix
    start_display
    DISPLAY="$(cat "$root/display" 2>/dev/null || echo "${DISPLAY:-}")"
    export DISPLAY
    wineserver -k >/dev/null 2>&1 || true
    # The persistent server keeps process start-up near 60 ms; its standard
    # streams go nowhere so that it holds no pipe of ctest's open.
    setsid wineserver -p >/dev/null 2>&1 </dev/null &
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    echo "wine session ready: prefix $WINEPREFIX display ${DISPLAY}"
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$root/xvfb.pid" ]; then
      kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
      rm -f "$root/xvfb.pid" "$root/display"
    fi
    echo "wine session stopped"
    ;;
  pristine)
    dest="${2:?pristine needs a destination folder}"
    make_prefix
    rm -rf "$dest"
    copy_prefix "$root/pristine" "$dest"
    ;;
  *)
    echo "usage: wine-session.sh start|stop|pristine DEST" >&2
    exit 2
    ;;
esac
