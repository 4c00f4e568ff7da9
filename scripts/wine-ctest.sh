#!/usr/bin/env bash
# Runs the Windows build's tests under Wine; expects a display (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
wine_prepare_prefix
status=0
ctest --preset windows "$@" || status=$?
"$WINESERVER" -k 2>/dev/null || true
exit $status
