#!/usr/bin/env bash
# The kills of undo_kills.sh on the Windows 9x path.
UNDO_WINDOWS=win98
. "$(dirname "$0")/undo_kills.sh"
