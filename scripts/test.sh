#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, the Windows
# x86_64 and the Windows i686 trees, and runs the native tests and the
# Windows tests under Wine (in a Wine prefix of the build's own, on an Xvfb
# display the test session starts and stops).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs="$(nproc)"
step() { printf '\n== %s\n' "$*"; }

step "native build and tests (linux preset)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
ctest --preset linux

step "Windows x86_64 build and tests under Wine (mingw64 preset)"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 -j"$jobs"
ctest --preset mingw64

step "Windows i686 build (mingw32 preset)"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 -j"$jobs"

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  step "$(basename "$extra" .sh)"
  bash "$extra"
done

step "all tests passed"
