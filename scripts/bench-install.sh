#!/usr/bin/env bash
# Builds the mingw64 preset and runs the install benchmark under the build's
# own Wine (its prefix, HOME and a persistent wineserver, started and stopped
# here). It prints figures and does not fail on a slow machine; see
# docs/benchmarks.md. The scratch files (about 2 GiB at most) go to the
# prefix's %TEMP%\lumiro-bench and are deleted at the end. Not part of the
# test command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash "$root/scripts/configure.sh" mingw64 >/dev/null
cmake --build --preset mingw64 -j"$(nproc)" --target install_bench_win >/dev/null

export LUMIRO_WINE_ROOT="$root/build/mingw64/wine"
"$root/cmake/wine-session.sh" start >/dev/null
trap '"$root/cmake/wine-session.sh" stop >/dev/null' EXIT
echo "machine: $(nproc) cores, $(wine --version 2>/dev/null || echo wine), $(uname -r)"
"$root/cmake/wine-run.sh" "$root/build/mingw64/bench/install_bench_win.exe" "$@"
