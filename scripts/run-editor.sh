#!/usr/bin/env bash
# Builds the Windows editor, writes the sample archive beside it and opens it
# under Wine: in $DISPLAY when there is one, otherwise in a virtual display,
# where a screenshot is taken after a few seconds before the program is closed.
#
# ZELKO_EDITOR_BUILD=<folder> builds into another folder than build/windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build="${ZELKO_EDITOR_BUILD:-build/windows}"
screenshot="$root/build/editor-run.png"

source scripts/wine-env.sh
# A prefix of its own: the virtual display must own its wineserver from the start.
export WINEPREFIX="$root/build/wine-editor-run"

# Runs in the display: prefix, sample archive, then the editor.
run_in_display() {
  wine_prepare_prefix
  (cd "$build" && "$WINE" cli/zelko.exe sample sample.bin >/dev/null)
  if [ "${1:-}" = interactive ]; then
    (cd "$build" && "$WINE" ZRC-Zelko.exe sample.bin)
    return
  fi
  (cd "$build" && "$WINE" ZRC-Zelko.exe sample.bin) &
  local editor=$!
  sleep "${ZELKO_SCREENSHOT_DELAY:-6}"
  import -window root "$screenshot"
  # Ends the editor (and anything else) in this prefix only.
  "$WINESERVER" -k || true
  wait "$editor" 2>/dev/null || true
}

# The second invocation, inside xvfb-run.
if [ "${1:-}" = --in-display ]; then
  run_in_display
  exit 0
fi

bash scripts/build-windows-deps.sh
if [ "$build" = build/windows ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target ZRC-Zelko zelko
else
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" -j "${ZELKO_JOBS:-2}" --target ZRC-Zelko zelko
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting $build/ZRC-Zelko.exe sample.bin in $DISPLAY"
  run_in_display interactive
else
  # A wineserver started without this display would refuse the windows.
  "$WINESERVER" -k 2>/dev/null || true
  ZELKO_EDITOR_BUILD="$build" xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --in-display
  echo "Screenshot of the editor: $screenshot"
fi
