#!/usr/bin/env bash
# demo-drive.sh install|uninstall SHOTS: answers the setup's windows with the
# automation driver the way a person would, and saves a picture of each
# window it passes as SHOTS/N-NAME.png.
#   install:   a new installation into the folder DEMO_INSTALL_PATH, typed
#              into the install-path dialog (main dialog, licence, install
#              path, progress, completion);
#   uninstall: the medium's main dialog offering the removal (then Exit
#              Setup), and the removal as Windows' list of programs starts it:
#              the entry's command UNINSTALL_COMMAND (uninstall window,
#              completion).
set -euo pipefail
mode="$1"
shots="$2"
main='Lumiro (Build 2093)'
case "$mode" in
  install)
    # The progress window is quick: the driver freezes setup.exe at a moment
    # when the screen shows its stage, its status and its bar drawn, and
    # takes that picture then.
    wine 'C:\driver.exe' start 'C:\media\setup.exe' \
      window "$main" sleep 300 windowshot "$main" 'C:\1-main-dialog.bmp' \
      click "$main" 1001 \
      window License click License 1002 enabled License 1001 1 sleep 300 windowshot License 'C:\2-license.bmp' \
      click License 1001 \
      window 'Choose Install Path' settext 'Choose Install Path' 1004 "${DEMO_INSTALL_PATH:?}" \
      sleep 300 windowshot 'Choose Install Path' 'C:\3-install-path.bmp' \
      click 'Choose Install Path' 1 \
      drawn Installing 1003,1004,1005 windowshot Installing 'C:\4-progress.bmp' thaw \
      window Setup sleep 300 windowshot Setup 'C:\5-completion.bmp' \
      message 'Installation is complete.*' 1 \
      exit 0
    ;;
  uninstall)
    # The stages run without a message loop: the uninstall window shows its
    # whole log while the completion message waits, once the message is
    # moved off it.
    wine 'C:\driver.exe' start 'C:\media\setup.exe' \
      window "$main" enabled "$main" 1002 1 sleep 300 windowshot "$main" 'C:\6-main-dialog-offers-uninstall.bmp' \
      click "$main" 2 exit 1602
    wine 'C:\driver.exe' startcmd "${UNINSTALL_COMMAND:?}" \
      window Setup sleep 300 screenshot 'C:\7-uninstall-completion.bmp' \
      move Setup 40 40 sleep 300 windowshot Uninstalling 'C:\8-uninstall-window.bmp' \
      message 'Uninstall completed successfully.' 1 \
      exit 0
    ;;
  *)
    echo "usage: demo-drive.sh install|uninstall SHOTS" >&2
    exit 2
    ;;
esac
for bmp in "$WINEPREFIX"/drive_c/[0-9]-*.bmp; do
  name="$(basename "$bmp" .bmp)"
  convert "$bmp" "$shots/$name.png" && rm -f "$bmp"
done
