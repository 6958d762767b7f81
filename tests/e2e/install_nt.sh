#!/usr/bin/env bash
# A new installation under the NT family: the progress window, the folder
# layout, the secure key and the completion message.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

driver start 'C:\media\setup.exe' \
  message 'Installation is complete.  Thank you for installing Lumiro' 1 \
  exit 0

for folder in Lumiro Lumiro/Programs Lumiro/Configuration Lumiro/Configuration/Machine Lumiro/Logs Lumiro/Documents; do
  check "folder C:/$folder exists" test -d "$(c_drive "$folder")"
done
check "secure key created" reg_key_exists 'HKLM\Software\Secure\Corvane'
