#!/usr/bin/env bash
# Side-by-side under Wine, on one payload in one folder (2,000 text files of
# 4 KiB, one 128 MiB file, half text and half random, and the sample
# application's three files):
#   setup:  the real setup.exe with the payload packed by lumpack into
#           APPS_NT.PKG (and the sample RTDLL_NT.PKG), both recorded in
#           setup.exe as the medium command records them, timed from its
#           start to its completion message by bench/setup_timer_win.cpp,
#           which clicks through the dialogs before the progress window;
#   setup-unchecked: the same without the check of the medium's packages:
#           setup.exe as built (no record) and the packages with zeros where
#           their own check is, as an older packer made them;
#   silent, silent-unchecked: the same two run with /S, to their exit (the
#           check then overlaps nothing);
#   nsis:   an NSIS 3 installer of the same files (makensis, SetCompressor
#           zlib, not solid, Target amd64-unicode), run with /S to its exit;
#   xcopy:  Wine's xcopy of the payload folder, to its exit.
# All three in one Wine prefix of their own on an Xvfb display, rounds
# alternating the order, medians printed with the ratios. Then the peak
# private bytes of setup.exe installing one 512 MiB entry against one 4 KiB
# entry, and a run with the progress window probed by WM_NULL (200 ms).
# And each installer once more over its own installation (setup.exe as an
# upgrade that replaces every file, NSIS over its files), side by side too.
#
#   bash scripts/bench-setup.sh [ROUNDS]     (default 5)
#
# SETUP_EXE=path measures that setup.exe instead of the one built here (for
# figures of an earlier build); SETUP_BEFORE=path measures another one beside
# it in the same rounds ("before", alternating with the others), for a
# before/after table from one run (BEFORE_CHECKED=1: on a medium checked as
# this one's, for an earlier build that checks its medium too).
# BENCH_FILES=N makes the payload N small files instead of 2,000
# (BENCH_LARGE_MIB=0 leaves the large file out), to show how the cost grows
# with the number of files. BENCH_PROBED=N adds N
# windowed installations of the payload with the progress window probed by
# WM_NULL (200 ms) at every poll, counting the probes left unanswered.
# BENCH_PARTS="again" (any of new, again, memory) runs only those parts.
# Installs nsis when it is missing. Prints figures and never fails on a slow
# machine; not part of the test command. About 2 GiB of scratch space in
# build/mingw64/wine-bench, removed at the end (the prefix stays for the next
# run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds="${1:-5}"
files="${BENCH_FILES:-2000}"
large_mib="${BENCH_LARGE_MIB:-128}"
before="${SETUP_BEFORE:-}"
probed_runs="${BENCH_PROBED:-0}"
# BENCH_PARTS: which parts run (new installations, over an installed copy,
# memory), all of them unless given.
parts="${BENCH_PARTS:-new again memory}"
part() { [[ " $parts " == *" $1 "* ]]; }

if ! command -v makensis >/dev/null; then
  echo "installing nsis" >&2
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nsis >/dev/null
fi

bash "$root/scripts/configure.sh" linux >/dev/null
cmake --build --preset linux -j2 --target lumpack >/dev/null
bash "$root/scripts/configure.sh" mingw64 >/dev/null
cmake --build --preset mingw64 -j2 --target setup setup_timer_win sample_packages >/dev/null

export LUMIRO_WINE_ROOT="$root/build/mingw64/wine-bench"
"$root/cmake/wine-session.sh" start >/dev/null
. "$root/cmake/wine-env.sh"
drive="$WINEPREFIX/drive_c"
work="$drive/bench"
cleanup() {
  "$root/cmake/wine-session.sh" stop >/dev/null || true
  rm -rf "$work" "$drive/Lumiro" "$drive/NsisBench" "$drive/XcopyBench"
}
trap cleanup EXIT
rm -rf "$work"
# The default log of /S gets the check's times of this run alone.
find "$drive/users" -name 'Lumiro Setup.log' -delete 2>/dev/null || true
mkdir -p "$work/payload" "$work/media" "$work/media-before" "$work/mem4k" "$work/mem512"

# The payload: deterministic text files and one large file whose second half
# does not compress.
python3 - "$work" "$files" "$large_mib" <<'PY'
import os, random, sys
work = sys.argv[1]
files, large_mib = int(sys.argv[2]), int(sys.argv[3])
words = b"lumiro prompter script line speed scroll mirror cue page text ".split()
rng = random.Random(2093)
def text(size):
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b"\r\n"
    return bytes(out[:size])
for i in range(files):
    with open(os.path.join(work, "payload", "doc%05d.txt" % i), "wb") as f:
        f.write(text(4096))
chunk = text(1 << 20)
def large(path, mib):
    with open(path, "wb") as f:
        for _ in range(mib // 2):
            f.write(chunk)
        for _ in range(mib // 2):
            f.write(rng.randbytes(1 << 20))
if large_mib:
    large(os.path.join(work, "payload", "large.bin"), large_mib)
with open(os.path.join(work, "mem4k", "small.bin"), "wb") as f:
    f.write(text(4096))
large(os.path.join(work, "mem512", "large.bin"), 512)
PY

# The application's own sample files join the payload (the setup registers
# its control at the end); the runtime package is the sample one.
fixtures="$root/build/mingw64/tests/fixtures"
cp "$fixtures"/payload/APPS_NT/* "$work/payload/"
cp "$fixtures"/payload/APPS_NT/* "$work/mem4k/"
cp "$fixtures"/payload/APPS_NT/* "$work/mem512/"
lumpack="$root/build/linux/tools/lumpack"
cp "$fixtures/packages/RTDLL_NT.PKG" "$work/media/RTDLL_NT.PKG"
"$lumpack" create "$work/media/APPS_NT.PKG" "$work/payload" >/dev/null
cp "${SETUP_EXE:-$root/build/mingw64/src/setup.exe}" "$work/media/setup.exe"
# The same medium without anything to check: no record in setup.exe, zeros
# where the packages' own checks are.
mkdir -p "$work/unchecked"
cp "$work/media/setup.exe" "$work/media/RTDLL_NT.PKG" "$work/media/APPS_NT.PKG" "$work/unchecked/"
for pkg in "$work/unchecked"/*.PKG; do
  python3 -c 'import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(28)
    f.write(bytes(36))' "$pkg"
done
# The earlier build reads the packages as an older packer made them, or,
# with BEFORE_CHECKED=1 (an earlier build that checks its medium), the same
# medium as this one, recorded alike.
if [ -n "$before" ]; then
  if [ -n "${BEFORE_CHECKED:-}" ]; then
    cp "$work/media/RTDLL_NT.PKG" "$work/media/APPS_NT.PKG" "$work/media-before/"
  else
    cp "$work/unchecked/RTDLL_NT.PKG" "$work/unchecked/APPS_NT.PKG" "$work/media-before/"
  fi
  cp "$before" "$work/media-before/setup.exe"
fi
record_medium() { python3 "$root/tools/medium/medium_record.py" "$1/setup.exe" "$1/RTDLL_NT.PKG" "$1/APPS_NT.PKG"; }
[ -n "${SETUP_EXE:-}" ] || record_medium "$work/media"
[ -z "$before" ] || [ -z "${BEFORE_CHECKED:-}" ] || record_medium "$work/media-before"
cp "$root/build/mingw64/bench/setup_timer_win.exe" "$work/"

cat > "$work/bench.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor zlib
Name "Payload"
OutFile "$work/nsis-setup.exe"
InstallDir "C:\\NsisBench\\Programs"
RequestExecutionLevel admin
Section
  SetOutPath "\$INSTDIR"
  File "$work/payload/*"
SectionEnd
EOF
makensis -V1 "$work/bench.nsi" >/dev/null

mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
echo "machine: $(nproc) cores, $(wine --version), $(uname -r), Xvfb display $DISPLAY"
echo "makensis $(makensis -VERSION); payload $(ls "$work/payload" | wc -l) files, $(mib "$(du -sb "$work/payload" | cut -f1)") MiB;" \
  "APPS_NT.PKG $(mib "$(stat -c %s "$work/media/APPS_NT.PKG")") MiB; nsis-setup.exe $(mib "$(stat -c %s "$work/nsis-setup.exe")") MiB"
echo "load before: $(uptime)"

reset_targets() {
  rm -rf "$drive/Lumiro" "$drive/NsisBench" "$drive/XcopyBench"
  reg64 delete 'HKLM\Software\Corvane' /f >/dev/null 2>&1 || true
  sync
}

# record_seconds NAME OUTPUT: the seconds of setup_timer_win's OUTPUT, appended
# to $work/NAME.times and printed after NAME.
record_seconds() {
  local line
  line=$(echo "$2" | tr -d '\r' | grep '^seconds=')
  local seconds=${line#seconds=}
  seconds=${seconds%% *}
  echo "$seconds" >> "$work/$1.times"
  printf ' %s %s' "${1%-again}" "$seconds"
}

# time_one WAY: one timed run; appends its seconds to $work/WAY.times.
time_one() {
  case "$1" in
    setup) record_seconds setup "$(wine 'C:\bench\setup_timer_win.exe' setup 'C:\bench\media\setup.exe')" ;;
    before) record_seconds before "$(wine 'C:\bench\setup_timer_win.exe' setup 'C:\bench\media-before\setup.exe')" ;;
    setup-unchecked)
      record_seconds setup-unchecked "$(wine 'C:\bench\setup_timer_win.exe' setup 'C:\bench\unchecked\setup.exe')" ;;
    silent) record_seconds silent "$(wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\media\setup.exe' /S)" ;;
    silent-unchecked)
      record_seconds silent-unchecked "$(wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\unchecked\setup.exe' /S)" ;;
    nsis) record_seconds nsis "$(wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\nsis-setup.exe' /S)" ;;
    xcopy) record_seconds xcopy "$(wine 'C:\bench\setup_timer_win.exe' run xcopy 'C:\bench\payload' 'C:\XcopyBench\Programs\' /I /Q /Y)" ;;
  esac
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

if part new; then
# Each round starts one way later in this list, and every other round runs
# it backwards; the earlier build, when given, is one more way.
ways=(setup nsis setup-unchecked xcopy silent silent-unchecked)
[ -z "$before" ] || ways+=(before)
for ((r = 0; r < rounds; ++r)); do
  printf 'round %d:' "$((r + 1))"
  for ((i = 0; i < ${#ways[@]}; ++i)); do
    if ((r % 2)); then k=$(( (r - i + 2 * ${#ways[@]}) % ${#ways[@]} )); else k=$(( (r + i) % ${#ways[@]} )); fi
    reset_targets
    time_one "${ways[$k]}"
  done
  printf '\n'
done
reset_targets
echo "load after: $(uptime)"

s=$(median "$work/setup.times"); n=$(median "$work/nsis.times"); x=$(median "$work/xcopy.times")
echo "medians of $rounds rounds (s): setup.exe $s, NSIS /S $n, xcopy $x"
awk -v s="$s" -v n="$n" -v x="$x" 'BEGIN { printf "setup / NSIS %.2fx (goal <= 0.8); setup / xcopy %.2fx; NSIS / xcopy %.2fx\n", s / n, s / x, n / x }'
if [ -n "$before" ]; then
  b=$(median "$work/before.times")
  awk -v s="$s" -v b="$b" -v n="$n" 'BEGIN { printf "before: setup.exe %.2f s, before / NSIS %.2fx; this one / before %.2fx\n", b, b / n, s / b }'
fi
u=$(median "$work/setup-unchecked.times"); q=$(median "$work/silent.times"); qu=$(median "$work/silent-unchecked.times")
echo "the check of the medium's packages, medians (s): with dialogs $s checked, $u unchecked; /S $q checked, $qu unchecked"
awk -v s="$s" -v u="$u" -v q="$q" -v qu="$qu" 'BEGIN { printf "cost of the check: with dialogs %+.1f%%, /S %+.1f%% (goal <= 5%%)\n", 100 * (s - u) / u, 100 * (q - qu) / qu }'
# The check's own time, as each checked /S run logged it (the default log).
log="$(find "$WINEPREFIX/drive_c/users" -name 'Lumiro Setup.log' | head -n 1)"
if [ -n "$log" ]; then
  tr -d '\r' < "$log" | sed -n 's/.*Medium check: the packages were read and checked in \([0-9]*\) ms.*/\1/p' > "$work/check.ms"
  if [ -s "$work/check.ms" ]; then
    c=$(median "$work/check.ms")
    echo "the check itself, as the /S runs logged it: median $c ms of $(wc -l < "$work/check.ms") runs" \
      "($(sort -n "$work/check.ms" | head -n 1) to $(sort -n "$work/check.ms" | tail -n 1) ms)"
    awk -v c="$c" -v q="$q" 'BEGIN { printf "the check itself against the checked /S installation: %.1f%%\n", 100 * c / 1000 / q }'
  fi
  rm -f "$log"
fi
fi
cmp -s "$work/payload/large.bin" "$drive/Lumiro/Programs/large.bin" 2>/dev/null || true

# Over an installed copy: each installer runs once more over what it
# installed. setup.exe upgrades from build 2092 with /S and replaces every
# payload file (none has a version); NSIS writes over its files.
time_again() {
  case "$1" in
    setup | before)
      local media=media
      [ "$1" = before ] && media=media-before
      reg64 add 'HKLM\Software\Corvane\Lumiro Install' /v 'Build Number' /t REG_DWORD /d 2092 /f >/dev/null 2>&1
      record_seconds "$1-again" "$(wine 'C:\bench\setup_timer_win.exe' run "C:\\bench\\$media\\setup.exe" /S)" ;;
    nsis) record_seconds nsis-again "$(wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\nsis-setup.exe' /S)" ;;
  esac
}
# install_first WAY: the installation the next timed run goes over.
install_first() {
  case "$1" in
    setup) wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\media\setup.exe' /S >/dev/null ;;
    before) wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\media-before\setup.exe' /S >/dev/null ;;
    nsis) wine 'C:\bench\setup_timer_win.exe' run 'C:\bench\nsis-setup.exe' /S >/dev/null ;;
  esac
}
if part again; then
again_ways="setup nsis"
[ -z "$before" ] || again_ways="setup nsis before"
for ((r = 0; r < rounds; ++r)); do
  printf 'again %d:' "$((r + 1))"
  ways="$again_ways"
  ((r % 2)) && ways="$(echo "$ways" | tr ' ' '\n' | tac | tr '\n' ' ')"
  for way in $ways; do
    reset_targets
    install_first "$way"
    sync
    time_again "$way"
  done
  printf '\n'
done
reset_targets
sa=$(median "$work/setup-again.times"); na=$(median "$work/nsis-again.times")
echo "over an installed copy, medians (s): setup.exe upgrade $sa, NSIS /S again $na"
awk -v s="$sa" -v n="$na" 'BEGIN { printf "over an installed copy: setup / NSIS %.2fx (goal <= 1.0)\n", s / n }'
if [ -n "$before" ]; then
  ba=$(median "$work/before-again.times")
  awk -v s="$sa" -v b="$ba" -v n="$na" 'BEGIN { printf "before: upgrade %.2f s, before / NSIS %.2fx; this one / before %.2fx\n", b, b / n, s / b }'
fi
fi

# The progress window of windowed installations of the payload, probed.
if [ "$probed_runs" -gt 0 ]; then
  probes=0 unanswered=0 slowest=0
  for ((r = 0; r < probed_runs; ++r)); do
    reset_targets
    line=$(wine 'C:\bench\setup_timer_win.exe' setup --probe 'C:\bench\media\setup.exe' 2>/dev/null | tr -d '\r' | grep '^seconds=') || true
    p=$(echo "$line" | sed -n 's/.*probes=\([0-9]*\).*/\1/p'); u=$(echo "$line" | sed -n 's/.*unanswered=\([0-9]*\).*/\1/p')
    w=$(echo "$line" | sed -n 's/.*slowest_ms=\([0-9]*\).*/\1/p')
    echo "probed installation $((r + 1)): $line"
    probes=$((probes + ${p:-0})); unanswered=$((unanswered + ${u:-0}))
    [ "${w:-0}" -gt "$slowest" ] && slowest=$w
  done
  reset_targets
  echo "progress window over $probed_runs windowed installations: $unanswered of $probes probes unanswered within 200 ms; slowest answer $slowest ms"
fi

part memory || exit 0
# Memory: one 512 MiB entry against one 4 KiB entry, and a run with the
# progress window probed throughout.
# (The setup.exe without a record: these packages are not the medium's.)
peak() {
  "$lumpack" create "$work/unchecked/APPS_NT.PKG.new" "$work/$1" >/dev/null
  mv -f "$work/unchecked/APPS_NT.PKG.new" "$work/unchecked/APPS_NT.PKG"
  reset_targets
  wine 'C:\bench\setup_timer_win.exe' setup $2 'C:\bench\unchecked\setup.exe' | tr -d '\r' | grep '^seconds='
}
rm -f "$work/media/APPS_NT.PKG" "$work/unchecked/APPS_NT.PKG"
small=$(peak mem4k ""); large=$(peak mem512 "")
probed=$(peak mem512 --probe) || true
sp=$(echo "$small" | sed 's/.*peak_private=\([0-9]*\).*/\1/'); lp=$(echo "$large" | sed 's/.*peak_private=\([0-9]*\).*/\1/')
echo "one 4 KiB entry:   $small"
echo "one 512 MiB entry: $large"
echo "peak private bytes, 512 MiB minus 4 KiB entry: $(mib $((lp - sp))) MiB (goal < 16)"
echo "512 MiB entry, progress window probed with WM_NULL (200 ms): $probed"
