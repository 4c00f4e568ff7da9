#!/usr/bin/env bash
# Runs the Windows build's tests under Wine; expects a display (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
wine_prepare_prefix
status=0
# Wine now and then resets a client's connection to the wineserver while the
# process starts ("recvmsg: Connection reset by peer"); such a test gets up to
# two more tries. A test that really fails fails every time.
ctest --preset windows --repeat until-pass:3 "$@" || status=$?
"$WINESERVER" -k 2>/dev/null || true
exit $status
