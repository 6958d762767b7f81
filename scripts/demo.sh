#!/usr/bin/env bash
# The main job: builds what it runs of the x86_64 tree (setup.exe, the build
# machine's lumpack, the automation driver, the sample payload), makes an
# installation medium with scripts/make-medium.sh and runs its setup.exe
# under Wine from a fresh folder in a Wine prefix of the build's own.
#  - With a DISPLAY, you click through the windows yourself.
#  - Without one, an Xvfb display is started, the automation driver answers
#    the windows and a screenshot of each is saved; the script prints where
#    they are and what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

bash scripts/install-deps.sh
bash scripts/configure.sh mingw64 >/dev/null
cmake --build --preset mingw64 -j"$(nproc)" --target driver fixture_payload fixture_other_payload
payload="$root/build/mingw64/tests/fixtures/payload"
# Windows 9x runs 32-bit programs only: its packages take the 32-bit payload.
payload32="$root/build/mingw64/tests/fixtures/other/fixtures/payload"

# The application's folder, with subfolders as a real one has and a large
# sample file; the other three are the sample payload's.
tree="$root/build/demo-tree"
rm -rf "$tree"
mkdir -p "$tree/Help/en" "$tree/Help/de" "$tree/Samples"
cp "$payload"/APPS_NT/* "$tree/"
echo "Lumiro help: start the reader, open a script, press Play." > "$tree/Help/en/index.txt"
echo "Lumiro-Hilfe: Leser starten, Skript öffnen, Wiedergabe drücken." > "$tree/Help/de/index.txt"
# A recorded rehearsal as a sample: large enough that the progress window is
# on the screen long enough to be seen (and photographed) at work.
head -c $((32 << 20)) /dev/urandom > "$tree/Samples/Rehearsal.take"
medium="$root/build/demo-medium"
rm -rf "$medium"
bash scripts/make-medium.sh --apps-nt "$tree" --rtdll-nt "$payload/RTDLL_NT" \
  --apps-95 "$payload32/APPS_95" --rtdll-95 "$payload32/RTDLL_95" "$medium"

export LUMIRO_WINE_ROOT="$root/build/mingw64/wine"
export LUMIRO_SOURCE_DIR="$root"
interactive=${DISPLAY:+yes}
[ -n "$interactive" ] && export LUMIRO_KEEP_DISPLAY=1

"$root/cmake/wine-session.sh" start >/dev/null
trap '"$root/cmake/wine-session.sh" stop >/dev/null' EXIT
. "$root/cmake/wine-env.sh"

# A prefix of the demo's own, so that each run starts from a clean machine.
export WINEPREFIX="$LUMIRO_WINE_ROOT/demo"
"$root/cmake/wine-session.sh" pristine "$WINEPREFIX"
media="$WINEPREFIX/drive_c/media"
mkdir -p "$media"
cp "$medium"/setup.exe "$medium"/*.PKG "$media/"
# The folder typed in the install-path dialog: neither C:\Apps nor
# C:\Apps\Corvane exists yet.
export DEMO_INSTALL_PATH='C:\Apps\Corvane\Lumiro'
install_dir="Apps/Corvane/Lumiro"
cp "$root/build/mingw64/tests/e2e/driver.exe" "$WINEPREFIX/drive_c/"
shots="$root/build/demo-screenshots"
rm -rf "$shots"; mkdir -p "$shots"

# run_setup MODE WHAT: runs setup.exe once, to install or to uninstall; with
# a DISPLAY you do WHAT, without one the driver does.
run_setup() {
  if [ -n "$interactive" ]; then
    echo "Running C:\\media\\setup.exe on $DISPLAY: $2"
    wine 'C:\media\setup.exe' || true
  else
    bash "$root/scripts/demo-drive.sh" "$1" "$shots"
  fi
  wineserver -w
}

if [ -z "$interactive" ]; then
  echo "No DISPLAY: the automation driver answers the windows on an Xvfb display."
fi
run_setup install "install Lumiro: click through its windows."

echo
echo "Installed under $DEMO_INSTALL_PATH ($WINEPREFIX/drive_c/$install_dir):"
(cd "$WINEPREFIX/drive_c" && find "$install_dir" | sort | sed 's/^/  /')
echo "Runtime libraries in C:\\windows\\system32:"
for f in "$payload"/RTDLL_NT/*; do
  name=$(basename "$f")
  [ -e "$WINEPREFIX/drive_c/windows/system32/$name" ] && echo "  $name"
done
echo "Registry record HKLM\\Software\\Corvane\\Lumiro Install:"
reg64 query 'HKLM\Software\Corvane\Lumiro Install' 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */  /'
echo "Shortcuts (read by lnkinfo):"
(cd "$WINEPREFIX/drive_c" && find ProgramData users -name Lumiro.lnk 2>/dev/null | sort) | while read -r link; do
  target=$(lnkinfo "$WINEPREFIX/drive_c/$link" 2>/dev/null | awk -F '\t+: ' '$1 ~ /^\tLocal path$/ { print $2 }')
  echo "  C:/$link -> $target"
done
echo "OLE control (the sample's class key, InprocServer32):"
reg64 query 'HKCR\CLSID\{F8853CCA-EC03-4FEE-8E74-B1CC05ECD521}\InprocServer32' /ve 2>/dev/null | tr -d '\r' |
  grep REG_ | sed 's/^ */  /'
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiro'
echo "The entry in Windows' list of installed programs, $entry:"
reg64 query "$entry" 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */  /'
export UNINSTALL_COMMAND="$(reg64 query "$entry" /v UninstallString 2>/dev/null | tr -d '\r' |
  awk '/REG_SZ/ { sub(/^.*REG_SZ[ \t]+/, ""); print; exit }')"

echo
if [ -n "$interactive" ]; then
  echo "Removing Lumiro as Windows' list of programs does: $UNINSTALL_COMMAND"
  wine cmd /c "$UNINSTALL_COMMAND" || true
  wineserver -w
else
  run_setup uninstall "remove Lumiro again"
fi
echo
echo "Left after the uninstall:"
for item in "$install_dir" "ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk; do
  if [ -e "$WINEPREFIX/drive_c/$item" ]; then echo "  C:/$item is still there"; else echo "  C:/$item: gone"; fi
done
for key in 'HKLM\Software\Corvane\Lumiro Install' "$entry"; do
  if reg64 query "$key" >/dev/null 2>&1; then echo "  $key is still there"; else echo "  $key: gone"; fi
done
# The temporary copy that did the removal goes at the next start of Windows
# (under Wine: when the prefix restarts, or its server has ended).
wineserver -k
wineboot -r >/dev/null 2>&1
left=$(find "$WINEPREFIX/drive_c/users" -iname 'LumiroSetup*')
echo "  after a restart (wineboot -r): ${left:-nothing of Lumiro in the temporary folder}"
echo "  kept by design: C:/Apps/Corvane, the parent folders the installation made (the uninstall removes the install folder only)"
fonts=$(reg64 query 'HKLM\Software\Corvane\Unicode Support\Font Mapping' 2>/dev/null | tr -d '\r' |
  grep -c 'Font Mapping\\.' || true)
echo "  kept by design: $fonts font-mapping keys under HKLM\\Software\\Corvane\\Unicode Support\\Font Mapping"
echo "  kept by design: the runtime libraries in C:\\windows\\system32, which other programs share:"
for f in "$payload"/RTDLL_NT/*; do
  name=$(basename "$f")
  [ -e "$WINEPREFIX/drive_c/windows/system32/$name" ] && echo "    $name"
done
wineserver -k
if [ -z "$interactive" ]; then
  echo "Screenshots:"
  ls "$shots"/* | sed 's/^/  /'
fi
