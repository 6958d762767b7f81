#!/usr/bin/env bash
# Builds the fuzz preset and gives the package fuzzer a short run (30 s, or
# FUZZ_SECONDS): first every kept input of fuzz/corpus and
# fuzz/regressions once, then new inputs from a copy of the corpus. Fails
# on any crash, leak, sanitizer report or oversized allocation; the
# failing input is left in build/fuzz/smoke/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-30}

bash "$root/scripts/configure.sh" fuzz >/dev/null
cmake --build --preset fuzz -j2 --target package_fuzz >/dev/null

work=$root/build/fuzz/smoke
rm -rf "$work"
mkdir -p "$work/corpus" "$work/tmp"
cp fuzz/corpus/* "$work/corpus/"
export LUMIRO_FUZZ_WORK=$work/tmp
fuzzer=$root/build/fuzz/fuzz/package_fuzz
limits=(-rss_limit_mb=1024 -malloc_limit_mb=256 -max_len=65536 -timeout=10)

"$fuzzer" "${limits[@]}" fuzz/corpus/* fuzz/regressions/* >"$work/regressions.log" 2>&1 ||
  { tail -40 "$work/regressions.log"; exit 1; }
"$fuzzer" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" >"$work/fuzz.log" 2>&1 ||
  { tail -60 "$work/fuzz.log"; exit 1; }
grep -E 'stat::number_of_executed_units|cov:' "$work/fuzz.log" | tail -2
echo "fuzz smoke run passed ($seconds s)"
