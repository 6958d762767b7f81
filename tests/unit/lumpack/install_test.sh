#!/usr/bin/env bash
# install_test.sh BUILD SOURCE: cmake --install of the native tree into a
# scratch prefix puts lumpack in bin/, where it runs, and its usage page with
# the package format it links to in share/doc/lumpack; nothing else.
set -euo pipefail
build="$1"
source="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null

failures=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
expected=$'usr/bin/lumpack\nusr/share/doc/lumpack/lumpack.md\nusr/share/doc/lumpack/package-format.md'
installed="$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)"
check "exactly lumpack and its two pages are installed (got: $installed)" test "$installed" = "$expected"
check "the installed lumpack is executable" test -x "$prefix/usr/bin/lumpack"
version="$(grep -oE 'project\([A-Za-z]+ VERSION [0-9.]+' "$source/CMakeLists.txt" | awk '{ print $3 }')"
check "the installed lumpack runs from there and tells its version $version" \
  test "$(cd / && PATH="$prefix/usr/bin" lumpack --version | head -1)" = "lumpack $version"
check "the usage page is the one of the sources" cmp -s "$source/docs/lumpack.md" "$prefix/usr/share/doc/lumpack/lumpack.md"
exit $((failures != 0))
