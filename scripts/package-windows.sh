#!/usr/bin/env bash
# Packs the Windows build into build/ZRC-Zelko-1.7-win64.zip: the editor, the
# command-line tool, the name lists and a note on first use. Expects the
# windows preset to be built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/windows"
version=1.7
name="ZRC-Zelko-$version-win64"
stage="$root/build/package/$name"

for f in "$build/ZRC-Zelko.exe" "$build/cli/zelko.exe" "$build/Data"; do
  [ -e "$f" ] || { echo "package-windows: $f is missing; build the windows preset first" >&2; exit 1; }
done
rm -rf "$root/build/package"
mkdir -p "$stage"
cp "$build/ZRC-Zelko.exe" "$build/cli/zelko.exe" "$stage/"
cp -r "$build/Data" "$stage/Data"
# Windows line ends: Notepad shows the note as written.
sed 's/$/\r/' > "$stage/First use.txt" <<'TXT'
ZRC-Zelko 1.7 - texture archive editor

Unzip this folder anywhere you can write to and start ZRC-Zelko.exe. Open a
game archive (.bin, .bun, .lzc) with File > Open or by dropping it on the
window. The program keeps its settings (ZRC-Zelko.ini) and its log (log.txt)
in this folder, and the name lists it shows texture names with in Data.

Saving keeps the previous archive as <name>.bak the first time (Settings >
Options). Keep your own copy of the game's files all the same.

zelko.exe is the same editor for the command line: run "zelko --help".
TXT
rm -f "$root/build/$name.zip"
(cd "$root/build/package" && cmake -E tar cf "$root/build/$name.zip" --format=zip "$name")
echo "$root/build/$name.zip"
