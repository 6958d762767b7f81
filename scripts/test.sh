#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, the Windows
# x86_64 and the Windows i686 trees, and runs the native tests, both Windows
# builds' tests under Wine (each in a Wine prefix of its build tree's own, on
# an Xvfb display the test session starts and stops) and the extra steps of
# scripts/test.d. The i686 tests need a kernel that runs 32-bit programs
# (scripts/ia32-check.sh); without one they are reported as skipped, with
# the reason, the i686 tree builds what it ships (setup.exe with the whole
# engine, and lumpack), and the rest still runs.
#
# The x86_64 build and its tests go first. The native tree, the fuzz tree and
# the i686 tree build meanwhile at the lowest priority (SCHED_IDLE): on the
# cores that the Windows tests leave idle while they wait on Wine, never
# taking time from a test that measures how quickly a window answers. Their
# output follows in order when they are done. Each step line tells the
# seconds since the start.
#
# LUMIRO_TEST_JOBS: how many Windows tests run at once (default: four per
# core; most of the time they wait).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs="$(nproc)"
test_jobs="${LUMIRO_TEST_JOBS:-$((jobs * 4))}"
logs=build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
started=$SECONDS
step() { printf '\n== %s [%d s]\n' "$*" $((SECONDS - started)); }
# at_idle COMMAND...: COMMAND at the scheduler's idle priority (or nice 19).
at_idle() {
  if chrt --idle 0 true 2>/dev/null; then chrt --idle 0 "$@"; else nice -n 19 "$@"; fi
}
# quietly NAME COMMAND...: COMMAND with its output in the log NAME, shown
# when it fails.
quietly() {
  local name="$1"; shift
  "$@" >"$logs/$name.log" 2>&1 || { cat "$logs/$name.log"; echo "failed: $*" >&2; return 1; }
}

ia32=yes
ia32_reason="$(bash scripts/ia32-check.sh)" || ia32=

step "configuring the native, Windows x86_64, Windows i686 and fuzz trees"
configuring=()
for preset in linux mingw64 mingw32 fuzz; do
  quietly "configure-$preset" bash scripts/configure.sh "$preset" &
  configuring+=($!)
done
for pid in "${configuring[@]}"; do wait "$pid"; done

# The trees that build meanwhile, one after the other, each step's output in
# a log of its own. The i686 tree builds whole where its tests run; elsewhere
# what it ships (setup.exe, its release copy and lumpack): the test programs
# are the same sources as the x86_64 tree's, which builds and runs them.
others() {
  set -e
  at_idle cmake --build --preset linux -j"$jobs" >"$logs/linux.log" 2>&1
  at_idle ctest --preset linux -j"$jobs" >>"$logs/linux.log" 2>&1
  at_idle cmake --build --preset fuzz -j"$jobs" --target package_fuzz >"$logs/fuzz.log" 2>&1
  if [ -n "$ia32" ]; then
    at_idle cmake --build --preset mingw32 -j"$jobs" >"$logs/mingw32.log" 2>&1
  else
    at_idle cmake --build --preset mingw32 -j"$jobs" --target setup_release lumpack >"$logs/mingw32.log" 2>&1
  fi
}
# A process group of its own, ended with the script.
set -m
others &
others_pid=$!
set +m
trap 'kill -- -"$others_pid" 2>/dev/null || true' EXIT

step "Windows x86_64 build and tests under Wine (mingw64 preset)"
cmake --build --preset mingw64 -j"$jobs"
# The test that times how quickly the progress window answers runs on its
# own once the other trees are built (below): the compilers' writes beside
# it hold up Wine's server, whatever their priority.
responsive='^e2e_large_file_responsive$'
ctest --preset mingw64 -j"$test_jobs" -E "$responsive"

# The extra steps (the fuzz smoke run, which finds its tree built).
for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  step "$(basename "$extra" .sh)"
  bash "$extra"
done

others_status=0
wait "$others_pid" || others_status=$?
trap - EXIT
step "native build and tests (linux preset)"
cat "$logs/linux.log" 2>/dev/null || true
step "fuzz tree build"
cat "$logs/fuzz.log" 2>/dev/null || true
step "Windows i686 build (mingw32 preset)"
cat "$logs/mingw32.log" 2>/dev/null || true
if [ "$others_status" -ne 0 ]; then
  echo "failed: a build or the native tests (see the logs above, in $logs)" >&2
  exit "$others_status"
fi

step "Windows x86_64: the progress window's answers, on a quiet machine"
ctest --preset mingw64 -R "$responsive"

if [ -n "$ia32" ]; then
  step "Windows i686 tests under Wine's 32-bit half (mingw32 preset)"
  ctest --preset mingw32 -j"$test_jobs"
else
  step "Windows i686 tests SKIPPED: ${ia32_reason#no: }"
fi

step "all tests passed"
