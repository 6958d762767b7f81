#!/usr/bin/env bash
# The last check of undo_kills.sh over the kills of its parts, which ran side
# by side (UNDO_KILLS_PART) and left what they found in UNDO_KILLS_RESULTS:
# every part ran all its kill moments, and a quarter of all the kills or more
# came while the upgrade was changing the machine (the end of the run takes a
# share of the time measured, and a loaded machine moves the moments).
set -euo pipefail
kills="${UNDO_KILLS:-20}"
parts="${UNDO_KILLS_PARTS:?the number of parts}"
results="${UNDO_KILLS_RESULTS:?the folder of what the parts found}"
taken=0 undone=0 failures=0
for ((p = 1; p <= parts; ++p)); do
  if ! read -r part_taken part_undone < "$results/$p" 2>/dev/null; then
    echo "FAIL part $p left no findings (it failed or did not run)"
    failures=$((failures + 1))
    continue
  fi
  taken=$((taken + part_taken)) undone=$((undone + part_undone))
done
echo "kills: $taken of $kills in $parts parts; undone by the next start: $undone"
if [ "$taken" -eq "$kills" ]; then echo "ok   every kill moment was taken"; else
  echo "FAIL every kill moment was taken"; failures=$((failures + 1)); fi
if [ "$undone" -ge $((kills / 4)) ]; then echo "ok   a quarter of the kills or more came in the middle of the upgrade"; else
  echo "FAIL a quarter of the kills or more came in the middle of the upgrade"; failures=$((failures + 1)); fi
[ "$failures" -eq 0 ]
