#!/usr/bin/env bash
# Uninstall from the main dialog after an installation: the uninstall window
# logs the three stages, the folder tree, the product key and both links are
# gone, the font mappings stay, and the completion message ends the run.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

LINKS=("ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk)
FONT_MAPPING='HKLM\Software\Corvane\Unicode Support\Font Mapping'
font_key_count() { product_reg query "$FONT_MAPPING" 2>/dev/null | tr -d '\r' | grep -c 'Font Mapping\\.'; }

install_completes
for link in "${LINKS[@]}"; do check "$link exists after installing" test -f "$(c_drive "$link")"; done
check "44 font keys after installing" test "$(font_key_count)" = 44

driver start 'C:\media\setup.exe' \
  enabled "$MAIN_DIALOG" "$UNINSTALL_BUTTON" 1 \
  click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" \
  text Uninstalling 1008 "$UNINSTALL_LOG" \
  message 'Uninstall completed successfully.' 1 \
  exit 0

check "C:/Lumiro is gone" test ! -e "$(c_drive Lumiro)"
check "the product key is gone" reg_key_missing 'HKLM\Software\Corvane\Lumiro Install'
check "the vendor key stays" reg_key_exists 'HKLM\Software\Corvane'
for link in "${LINKS[@]}"; do check "$link is gone" test ! -e "$(c_drive "$link")"; done
check "the 44 font keys stay" test "$(font_key_count)" = 44
