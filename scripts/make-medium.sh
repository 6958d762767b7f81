#!/usr/bin/env bash
# make-medium.sh [--arch x86_64|i686] [--apps-nt DIR] [--rtdll-nt DIR]
#                [--apps-95 DIR] [--rtdll-95 DIR] [--url URL] [--sign KEY CERT] OUTPUT
#
# Makes Lumiro's installation medium in OUTPUT: setup.exe of the chosen
# Windows build (x86_64 unless told otherwise) as shipped, without debug
# information; APPS_NT.PKG, RTDLL_NT.PKG, APPS_95.PKG and RTDLL_95.PKG, each
# packed by lumpack from its folder (a folder not given makes an empty
# package); a zip of those five files; winget's version, default-locale and
# installer manifests of the zip; SHA256SUMS. It prints each file's SHA-256.
# setup.exe records the four packages' SHA-256s and refuses a package whose
# bytes differ; with --sign (a PEM key and certificate, or a PKCS#12 file
# twice; its password in LUMIRO_SIGN_PASSWORD) it is signed with
# Authenticode over that record, before the zip, the manifests and the sums.
#
# Installs what it needs, builds only setup.exe and the build machine's
# lumpack (in build/mingw64 or build/mingw32), and checks the folders and
# OUTPUT before it builds anything. A run that fails makes nothing. With
# SOURCE_DATE_EPOCH set, two runs on the same sources and folders make the
# same bytes, whenever and wherever the files were written.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
usage="usage: make-medium.sh [--arch x86_64|i686] [--apps-nt DIR] [--rtdll-nt DIR] [--apps-95 DIR] [--rtdll-95 DIR] [--url URL] [--sign KEY CERT] OUTPUT"

arch=x86_64
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; arch="$2"; shift 2 ;;
    --arch=*) arch="${1#--arch=}"; shift ;;
    -h|--help) echo "$usage"; exit 0 ;;
    *) args+=("$1"); shift ;;
  esac
done
case "$arch" in
  x86_64) preset=mingw64 ;;
  i686) preset=mingw32 ;;
  *) echo "make-medium: --arch $arch: x86_64 or i686" >&2; exit 2 ;;
esac
tool="$root/tools/medium/make_medium.py"

bash "$root/scripts/install-deps.sh"
# Refused input is told at once, not after a build of some minutes.
python3 "$tool" --check "${args[@]}"

build="$root/build/$preset"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if ! (cd "$root" && bash scripts/configure.sh "$preset" && cmake --build --preset "$preset" -j"$(nproc)" \
      --target setup_release host_lumpack) >"$log" 2>&1; then
  cat "$log" >&2
  echo "make-medium: the build of setup.exe or lumpack failed; nothing made" >&2
  exit 1
fi
python3 "$tool" --setup "$build/release/setup.exe" --lumpack "$build/host-lumpack/tools/lumpack" "${args[@]}"
echo "setup.exe is $(stat -c %s "$build/release/setup.exe") bytes without its debug information" \
  "(the build with it: $(stat -c %s "$build/src/setup.exe") bytes);" \
  "the debug information for crash addresses: $build/release/setup.exe.debug"
