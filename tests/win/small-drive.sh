#!/usr/bin/env bash
# small-drive.sh mount|unmount DIR: makes a 1 MiB tmpfs at DIR drive X: of the
# build's Wine prefix, where a full disk is real (WriteFile fails with
# ERROR_DISK_FULL), and takes it away again. Mounting needs root; without it
# no drive X: is made and the full-disk tests skip with a message.
set -u
. "$(dirname "$0")/../../cmake/wine-env.sh"
link="$WINEPREFIX/dosdevices/x:"
folder="$2"
case "$1" in
mount)
  mkdir -p "$folder"
  rm -f "$link"
  if mountpoint -q "$folder" || mount -t tmpfs -o size=1m,mode=0777 lumiro-small-drive "$folder" 2>/dev/null; then
    ln -s "$folder" "$link"
    echo "drive X: is a 1 MiB tmpfs at $folder"
  else
    echo "no tmpfs could be mounted at $folder (mounting needs root): the full-disk tests skip"
  fi
  ;;
unmount)
  rm -f "$link"
  if mountpoint -q "$folder"; then
    umount "$folder"
  fi
  ;;
*)
  echo "usage: small-drive.sh mount|unmount DIR" >&2
  exit 2
  ;;
esac
exit 0
