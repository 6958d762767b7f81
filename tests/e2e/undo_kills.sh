#!/usr/bin/env bash
# An upgrade killed again and again, at moments spread over its whole run, as
# a task manager or a power cut ends it. After each kill the next start of
# setup.exe (with windows, left at its main dialog) finds Lumiro whole: every
# file of one build, the older or the newer, the records and the entry of
# that same build, no set-aside or temporary file and no journal.
# (undo_kills_win98.sh: the same on the Windows 9x path.)
#
# UNDO_KILLS_PART=P/N runs part P of N (ctest runs the parts side by side,
# each in a prefix of its own): the kill moments k with k % N = P - 1, each
# drawn as the whole run would draw it. The last check, over the kills of all
# parts, is then left to undo_kills_all.sh, to which each part leaves what it
# found in UNDO_KILLS_RESULTS.
kills="${UNDO_KILLS:-20}"
part="${UNDO_KILLS_PART:-1/1}"
part_index=$((${part%/*} - 1)) parts=${part#*/}
if [ "$parts" -gt 1 ]; then
  E2E_PART=$((part_index + 1))
  result="${UNDO_KILLS_RESULTS:?a part leaves its findings in UNDO_KILLS_RESULTS}/$E2E_PART"
  mkdir -p "$UNDO_KILLS_RESULTS" && rm -f "$result"
fi
. "$(dirname "$0")/undo-lib.sh"

# The application package: the sample payload and 300 scripts in a folder
# of their own, so that the run spends its time over many replacements (a
# replacement in place takes about half a millisecond).
mkdir -p "$E2E_OUT/Scripts"
for n in $(seq -w 1 300); do
  seq -f "Lumiro prompter script $n, line %g" 1 200 > "$E2E_OUT/Scripts/script$n.txt"
done
pack_apps "$E2E_OUT/Scripts"
unattended_exit "/S $log_arg" 0
programs="$(c_drive Lumiro/Programs)"
system="$(c_drive "$SYSTEM_FOLDER")"
libs=(LumRtl.dll pi_w32.dll)

# keep_build NAME: the installed files as they are now, kept as build NAME.
keep_build() {
  rm -rf "${E2E_OUT:?}/$1" && mkdir -p "$E2E_OUT/$1/system"
  cp -a "$programs" "$E2E_OUT/$1/Programs"
  for lib in "${libs[@]}"; do cp -a "$system/$lib" "$E2E_OUT/$1/system/"; done
}
keep_build 2093
# The older build: other contents in every file the upgrade replaces (the
# control stays, so that the undo can register it again).
for file in "$programs"/ReaderRes.dll "$programs"/Scripts/*.txt "$system/LumRtl.dll"; do
  echo "older $(basename "$file")" > "$file"
done
keep_build 2092

# make_older: the older build installed, whatever the last run left.
make_older() {
  rm -rf "$programs" && cp -a "$E2E_OUT/2092/Programs" "$programs"
  for lib in "${libs[@]}"; do cp -a "$E2E_OUT/2092/system/$lib" "$system/$lib"; done
  record_installed_build 2092
  product_reg add "$UNINSTALL_ENTRY" /v DisplayVersion /d 1.0.2092.0 /f >/dev/null 2>&1
  rm -f "$log"
}

# The length of a whole upgrade as the driver sees it, from its start to its
# end, over which the kills are spread.
make_older
started=$(date +%s%N)
unattended_exit "/S $log_arg" 0
run_ms=$(( ($(date +%s%N) - started) / 1000000 ))
echo "a whole upgrade: $run_ms ms"

seed="${UNDO_KILLS_SEED:-$RANDOM}"
RANDOM=$seed
echo "kill moments drawn with seed $seed"
undone=0 finished=0 before_journal=0 taken=0
# A kill's steps and checks go into a file, shown only when one of them
# failed: twenty kills of a dozen lines each would bury the line that failed.
steps="$E2E_OUT/kill-steps.txt"
for ((k = 0; k < kills; ++k)); do
  # One moment drawn at random in each of KILLS equal slices of the run.
  slice=$((run_ms / kills))
  at=$((k * slice + RANDOM % (slice + 1)))
  ((k % parts == part_index)) || continue
  taken=$((taken + 1))
  make_older
  failures_before=$E2E_FAILURES
  driver startwith 'C:\media\setup.exe' "/S $log_arg" sleep "$at" kill > "$steps" 2>&1 || true
  journal="$(c_drive "$JOURNAL")"
  next=()
  if [ -e "$journal" ] && ! tr -d '\r' < "$journal" | grep -x commit >/dev/null; then
    # Killed before its work was all in place: the next start undoes it and
    # says so before its main dialog.
    next=(message 'The last run of Setup on this computer was interrupted before it finished.*' 1)
    undone=$((undone + 1)) moment="in the middle"
  elif [ -e "$journal" ] || grep -qF 'Exit code' "$log" 2>/dev/null; then
    finished=$((finished + 1)) moment="after the work was in place"
  else
    before_journal=$((before_journal + 1)) moment="before anything was noted"
  fi
  if ! driver startwith 'C:\media\setup.exe' "$log_arg" "${next[@]}" \
    window "$MAIN_DIALOG" click "$MAIN_DIALOG" 2 exit 1602 >> "$steps" 2>&1; then
    cat "$steps"
    echo "FAIL kill $k at $at ms ($moment): the next start did not reach its main dialog"
    continue
  fi

  build="$(reg_value "$key" 'Build Number')"
  case "$build" in
    0x82c) kept=2092 ;;
    0x82d) kept=2093 ;;
    *) cat "$steps"; check "kill $k at $at ms ($moment): a build is recorded ($build)" false; continue ;;
  esac
  what="kill $k at $at ms, $moment (build $kept)"
  {
    check "$what: Programs is that build's" diff -r "$E2E_OUT/$kept/Programs" "$programs"
    for lib in "${libs[@]}"; do
      check "$what: $lib is that build's" cmp -s "$E2E_OUT/$kept/system/$lib" "$system/$lib"
    done
    check "$what: the entry's version agrees" test "$(entry_value DisplayVersion)" = "1.0.$kept.0"
    check "$what: no set-aside or temporary file" \
      test -z "$(find "$programs" "$system" -maxdepth 2 \( -name '$old*' -o -name '$tmp*' \))"
    check "$what: no journal" test ! -e "$journal"
  } >> "$steps" 2>&1
  if [ "$E2E_FAILURES" -eq "$failures_before" ]; then
    echo "ok   $what: one whole build, no journal"
  else
    cat "$steps"
    [ ! -e "$log" ] || { echo "the end of the log:"; tr -d '\r' < "$log" | tail -n 30; }
  fi
done
echo "kills: $taken of $kills (part $part); undone by the next start: $undone;" \
  "after the work was in place: $finished; before anything was noted: $before_journal"
if [ "$parts" -eq 1 ]; then
  # The end of the run (commit, exit) takes a share of the time measured, and
  # a loaded machine moves the moments: a quarter of the kills is the least
  # that must have come while the upgrade was changing the machine.
  check "a quarter of the kills or more came in the middle of the upgrade" test "$undone" -ge $((kills / 4))
elif [ "$E2E_FAILURES" -eq 0 ]; then
  echo "$taken $undone" > "$result"
fi
