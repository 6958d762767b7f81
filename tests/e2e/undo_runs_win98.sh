#!/usr/bin/env bash
# The runs of undo_runs.sh on the Windows 9x path: a runtime library held by
# another program is queued in WININIT.INI, and the undo takes the lines out
# again.
UNDO_WINDOWS=win98
. "$(dirname "$0")/undo_runs.sh"
