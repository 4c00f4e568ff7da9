#!/usr/bin/env bash
# Times the editor under Wine opening the first pack of bench_archive's
# archive (150 DXT5 512 x 512 textures), with its list thumbnails and without
# them (ZELKO_NO_THUMBNAILS), three runs each, as the editor reports it
# ("Loaded BENCH.BIN [N ms]"). Another build of the editor may be given to
# compare with in the same run. Needs the windows and native-release builds.
# Usage: bench/editor_open.sh [OTHER_ZRC-Zelko.exe]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
source "$root/scripts/wine-env.sh"
wine_prepare_prefix
work=$(mktemp -d)
trap 'rm -rf "$work"; "$WINESERVER" -k 2>/dev/null || true' EXIT
"$root/build/native-release/bench/bench_archive" "$work/archive" --make-only
archive="Z:${work//\//\\}\\archive\\BENCH.BIN"

# The load time of one run of EXE, from a folder of its own (no settings carried over).
run() {
  local exe=$1 dir editor
  dir=$(mktemp -d -p "$work")
  cp "$exe" "$dir/ZRC-Zelko.exe"
  cp -r "$root/build/windows/Data" "$dir/"
  (cd "$dir" && "$WINE" ZRC-Zelko.exe "$archive" >/dev/null 2>&1) &
  editor=$!
  for _ in $(seq 1 600); do
    grep -q "Loaded BENCH.BIN" "$dir/log.txt" 2>/dev/null && break
    sleep 0.1
  done
  (cd "$dir" && "$WINE" taskkill /IM ZRC-Zelko.exe >/dev/null 2>&1) || true
  wait "$editor" 2>/dev/null || true
  grep -o "Loaded BENCH.BIN \[[0-9]*ms\]" "$dir/log.txt" | grep -o "[0-9][0-9]*" | tail -1
}

measure() {
  local label=$1 exe=$2 times=()
  for _ in 1 2 3; do times+=("$(run "$exe")"); done
  printf '%-30s %s ms\n' "$label" "${times[*]}"
}

exe="$root/build/windows/ZRC-Zelko.exe"
measure "with thumbnails" "$exe"
ZELKO_NO_THUMBNAILS=1 measure "without thumbnails" "$exe"
if [ -n "${1:-}" ]; then measure "$1, with thumbnails" "$1"; fi
