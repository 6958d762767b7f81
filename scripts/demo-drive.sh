#!/usr/bin/env bash
# demo-drive.sh SHOTS: answers the setup's windows with the automation
# driver, saving a screenshot of each window before it is answered.
set -euo pipefail
shots="$1"
shot() {
  wine 'C:\driver.exe' screenshot "C:\\$1.bmp" >/dev/null
  convert "$WINEPREFIX/drive_c/$1.bmp" "$shots/$1.png" && rm -f "$WINEPREFIX/drive_c/$1.bmp"
}
wine 'C:\driver.exe' start 'C:\media\setup.exe' window Setup
shot 1-completion
wine 'C:\driver.exe' message 'Installation is complete.*' 1
