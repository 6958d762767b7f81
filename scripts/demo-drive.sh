#!/usr/bin/env bash
# demo-drive.sh SHOTS: answers the setup's windows with the automation
# driver the way a person installing Lumiro would, and saves a picture of
# each window it passes (main dialog, licence, install path, progress,
# completion) as SHOTS/N-NAME.png.
set -euo pipefail
shots="$1"
main='Lumiro (Build 2093)'
# The progress window is quick: the driver freezes setup.exe while it takes
# that picture.
wine 'C:\driver.exe' start 'C:\media\setup.exe' \
  window "$main" sleep 300 windowshot "$main" 'C:\1-main-dialog.bmp' \
  click "$main" 1001 \
  window License click License 1002 enabled License 1001 1 sleep 300 windowshot License 'C:\2-license.bmp' \
  click License 1001 \
  window 'Choose Install Path' sleep 300 windowshot 'Choose Install Path' 'C:\3-install-path.bmp' \
  click 'Choose Install Path' 1 \
  catch Installing 1003 windowshot Installing 'C:\4-progress.bmp' thaw \
  window Setup sleep 300 windowshot Setup 'C:\5-completion.bmp' \
  message 'Installation is complete.*' 1 \
  exit 0
for bmp in "$WINEPREFIX"/drive_c/[0-9]-*.bmp; do
  name="$(basename "$bmp" .bmp)"
  convert "$bmp" "$shots/$name.png" && rm -f "$bmp"
done
