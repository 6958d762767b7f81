#!/usr/bin/env bash
# check-reproducible.sh [--arch x86_64|i686] [--keep] [--sign KEY CERT]
#
# Shows that the medium is a reproducible build: two clean clones of this
# checkout's HEAD, in two folders whose paths differ in name and length,
# each build setup.exe and lumpack in their own trees and make the medium
# with scripts/make-medium.sh from the same application folders (the sample
# payload, built once), at different times, with SOURCE_DATE_EPOCH the time
# of HEAD's commit. Every file of the two media, setup.exe's debug file too,
# must be the same bytes; the SHA-256s are printed. Takes two builds of
# setup.exe (some minutes each); --keep leaves the clones for a look. With
# --sign both media are signed with that key (make-medium.sh --sign; its
# password in LUMIRO_SIGN_PASSWORD): the signing time is SOURCE_DATE_EPOCH
# and the RSA signature of the same bytes with the same key is the same, so
# the signed media are the same bytes too.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch=x86_64
keep=
sign=()
usage="usage: check-reproducible.sh [--arch x86_64|i686] [--keep] [--sign KEY CERT]"
while [ $# -gt 0 ]; do
  case "$1" in
    --arch=*) arch="${1#--arch=}" ;;
    x86_64|i686) arch="$1" ;;
    --arch) ;;
    --keep) keep=1 ;;
    --sign) [ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
      cert="$3"; [ "$cert" = - ] || cert="$(realpath "$cert")"
      sign=(--sign "$(realpath "$2")" "$cert"); shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
case "$arch" in x86_64) preset=mingw64 ;; i686) preset=mingw32 ;; *) echo "unknown --arch $arch" >&2; exit 2 ;; esac

work="$(mktemp -d)"
[ -n "$keep" ] || trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct)"
head="$(git -C "$root" log -1 --format=%h)"
git clone -q "$root" "$work/a"
git clone -q "$root" "$work/second-clone-with-a-longer-path"
clones=("$work/a" "$work/second-clone-with-a-longer-path")

# The application's folders: the sample payload of the first clone, the
# same input for both media.
(cd "${clones[0]}" && bash scripts/configure.sh "$preset" >/dev/null &&
  cmake --build --preset "$preset" -j"$(nproc)" --target fixture_payload >/dev/null)
payload="${clones[0]}/build/$preset/tests/fixtures/payload"

for clone in "${clones[@]}"; do
  # Another moment for each: the files' own times must not matter.
  find "$payload" -type f -exec touch {} +
  echo "== making the medium in $clone"
  bash "$clone/scripts/make-medium.sh" --arch "$arch" "${sign[@]}" --apps-nt "$payload/APPS_NT" --rtdll-nt "$payload/RTDLL_NT" \
    --apps-95 "$payload/APPS_95" --rtdll-95 "$payload/RTDLL_95" "$clone/medium"
  cp "$clone/build/$preset/release/setup.exe.debug" "$clone/medium/"
done

echo
echo "== SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($head), $arch"
different=0
for file in "${clones[0]}/medium"/*; do
  name="$(basename "$file")"
  if cmp -s "$file" "${clones[1]}/medium/$name"; then
    echo "same      $(sha256sum "$file" | cut -d' ' -f1)  $name"
  else
    echo "DIFFERENT $name: $(sha256sum "$file" "${clones[1]}/medium/$name" | cut -d' ' -f1 | tr '\n' ' ')"
    different=$((different + 1))
  fi
done
if [ "$(ls "${clones[0]}/medium")" != "$(ls "${clones[1]}/medium")" ]; then
  echo "DIFFERENT file lists"; different=$((different + 1))
fi
[ "$different" -eq 0 ] && echo "the two media are the same bytes" || { echo "$different file(s) differ"; exit 1; }
