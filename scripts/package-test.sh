#!/usr/bin/env bash
# Makes the Windows download, unzips it into an empty folder and runs it from
# there under Wine: zelko.exe --version, then the editor on a sample archive
# until it has loaded it and, closed, written its settings beside itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
zip=$(bash "$root/scripts/package-windows.sh")
place=$(mktemp -d)
trap 'rm -rf "$place"' EXIT
(cd "$place" && cmake -E tar xf "$zip")
dir="$place/ZRC-Zelko-1.7-win64"
for f in ZRC-Zelko.exe zelko.exe "First use.txt" Data/Textures.txt; do
  [ -e "$dir/$f" ] || { echo "missing in the download: $f"; exit 1; }
done

version=$(cd "$dir" && "$WINE" zelko.exe --version 2>/dev/null | tr -d '\r')
echo "$version"
[[ "$version" == "zelko 1.7.0"* ]] || { echo "unexpected version: $version"; exit 1; }
(cd "$dir" && "$WINE" zelko.exe sample sample.bin >/dev/null 2>&1)

(cd "$dir" && "$WINE" ZRC-Zelko.exe sample.bin >/dev/null 2>&1) &
editor=$!
for _ in $(seq 1 300); do
  grep -q "Loaded sample.bin" "$dir/log.txt" 2>/dev/null && break
  sleep 0.1
done
grep -q "Loaded sample.bin" "$dir/log.txt" || { echo "the editor did not load the sample"; kill $editor; exit 1; }
# A normal close: the window gets WM_CLOSE and writes its settings.
(cd "$dir" && "$WINE" taskkill /IM ZRC-Zelko.exe >/dev/null 2>&1) || true
for _ in $(seq 1 300); do
  kill -0 $editor 2>/dev/null || break
  sleep 0.1
done
if kill -0 $editor 2>/dev/null; then echo "the editor did not close"; kill $editor; exit 1; fi
[ -f "$dir/ZRC-Zelko.ini" ] || { echo "no settings file beside the program"; exit 1; }
echo "download runs from its own folder"
