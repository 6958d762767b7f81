#!/usr/bin/env bash
# Text becomes UTF-16 (or, on Windows 9x, the code page) only at the Win32
# call, in one layer: no call that takes a name or a text goes through the
# code page elsewhere in the programs' sources. Lists every "...A(" call of
# a Win32 function, and every conversion call, outside that layer; the few
# ANSI calls that take no text (resource numbers, handles, the version) are
# allowed by name. Exit 1 when it finds one.
#
#   system_text_calls.sh SOURCE_DIR
set -u
cd "${1:?source folder}" || exit 2

# The layer: the conversions and the wrappers, the registry wrapper (each
# call in its wide and its ANSI form) and the tree removal's walk for
# Windows 9x, which has only the ANSI calls.
boundary='^(src/portable/SystemText_win32\.cpp|src/portable/ErrorText_win32\.cpp|src/framework/SystemCalls\.cpp|src/framework/RegistryKey\.cpp|src/install/TreeRemoval\.cpp):'
# ANSI calls that take no text of a user's: a resource or an icon by its
# number, a window's long values, messages without text, the version, an
# access list of SIDs, a constant privilege or module name.
textless='\b(GetVersionExA|GetModuleHandleA|LoadIconA|LoadImageA|FindResourceA|MAKEINTRESOURCEA|SendMessageA|SetWindowLongPtrA|GetWindowLongPtrA|GetMonitorInfoA|SystemParametersInfoA|GetObjectA|SetEntriesInAclA|LookupPrivilegeValueA)\('

found=$(grep -rnE '\b[A-Z][A-Za-z0-9]+A\(|\b(MultiByteToWideChar|WideCharToMultiByte|lstrcmpiA|_fsopen|_access)\(' \
          src tools --include='*.cpp' --include='*.h' |
        grep -vE "$boundary" | grep -vE '^src/portable/Win32Api_posix' | grep -vE "$textless" |
        grep -vE '^[^:]+:[0-9]+:\s*//' || true)
if [ -n "$found" ]; then
  echo "calls with text outside the UTF-8/UTF-16 boundary:"
  echo "$found"
  exit 1
fi
echo "no call with text goes through the code page outside the boundary"
