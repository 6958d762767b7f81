#!/usr/bin/env bash
# Tells whether this machine runs 32-bit x86 programs (the kernel's IA32
# emulation, which Wine's 32-bit support needs): runs a 96-byte static i386
# program that only exits with code 42. Prints "yes", or "no: REASON" and
# exits 1. Needs nothing installed; the program is written byte by byte here.
set -u
case "$(uname -m)" in
  x86_64|i?86) ;;
  *) echo "no: the machine is $(uname -m), not x86"; exit 1 ;;
esac
program="$(mktemp "${TMPDIR:-/tmp}/ia32-check.XXXXXX")"
trap 'rm -f "$program"' EXIT
# ELF header, one loadable segment, and: mov eax,1; mov ebx,42; int 0x80.
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' > "$program"
chmod +x "$program"
"$program" 2>/dev/null
status=$?
if [ "$status" -eq 42 ]; then
  echo yes
  exit 0
fi
echo "no: the kernel does not run 32-bit programs (a 32-bit test program ended with status $status; the kernel lacks IA32 emulation or it is switched off)"
exit 1
