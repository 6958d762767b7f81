#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, the Windows
# x86_64 and the Windows i686 trees, and runs the native tests and both
# Windows builds' tests under Wine (each in a Wine prefix of its build tree's
# own, on an Xvfb display the test session starts and stops). The i686 tests
# need a kernel that runs 32-bit programs (scripts/ia32-check.sh); without
# one they are reported as skipped, with the reason, and the rest still runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs="$(nproc)"
step() { printf '\n== %s\n' "$*"; }

step "native build and tests (linux preset)"
bash scripts/configure.sh linux >/dev/null
cmake --build --preset linux -j"$jobs"
ctest --preset linux -j"$jobs"

step "Windows x86_64 build and tests under Wine (mingw64 preset)"
bash scripts/configure.sh mingw64 >/dev/null
cmake --build --preset mingw64 -j"$jobs"
ctest --preset mingw64 -j"$jobs"

step "Windows i686 build (mingw32 preset)"
bash scripts/configure.sh mingw32 >/dev/null
cmake --build --preset mingw32 -j"$jobs"
if ia32="$(bash scripts/ia32-check.sh)"; then
  step "Windows i686 tests under Wine's 32-bit half (mingw32 preset)"
  ctest --preset mingw32 -j"$jobs"
else
  step "Windows i686 tests SKIPPED: ${ia32#no: }"
fi

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  step "$(basename "$extra" .sh)"
  bash "$extra"
done

step "all tests passed"
