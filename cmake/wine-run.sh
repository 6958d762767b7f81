#!/usr/bin/env bash
# Runs a Windows program of the build under the build tree's own Wine.
# Used as the emulator for cross-built tests; the session (prefix, display,
# wineserver) is prepared by wine-session.sh.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
exec wine "$@"
