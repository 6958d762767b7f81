#!/usr/bin/env bash
# configure.sh PRESET: configures the preset's tree (cmake --preset PRESET).
# The presets build with Ninja; a tree that an older checkout configured with
# another generator is emptied first (CMake cannot switch a tree's generator,
# and Ninja would build all of it anew anyway), all but its Wine folder, whose
# prefix takes a while to make.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset="${1:?configure.sh needs a preset}"
tree="$root/build/$preset"
if [ -f "$tree/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$tree/CMakeCache.txt"; then
  echo "configure: build/$preset was configured for another generator; emptying it for Ninja" >&2
  find "$tree" -mindepth 1 -maxdepth 1 ! -name wine -exec rm -rf {} +
fi
cd "$root"
exec cmake --preset "$preset"
