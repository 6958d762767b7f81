#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one is missing.
# Safe to run again: a machine that has everything installs nothing.
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libz-mingw-w64-dev zlib1g-dev
  googletest libgtest-dev libbenchmark-dev
  wine wine64 xvfb xauth imagemagick python3 python3-yaml
  liblnk-utils
  osslsigncode openssl
)

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

# Wine's 32-bit half runs the i686 build, where the kernel runs 32-bit
# programs (scripts/ia32-check.sh); elsewhere the i686 tests are skipped.
if bash "$(dirname "$0")/ia32-check.sh" >/dev/null; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "adding the i386 architecture for wine32" >&2
    $SUDO dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}" >&2
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
