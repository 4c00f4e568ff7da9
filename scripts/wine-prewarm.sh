#!/usr/bin/env bash
# Keeps a wineserver running for the test run so each test process starts quickly.
set -eu
source "$(dirname "$0")/wine-env.sh"
"$WINESERVER" -p30
"$WINE" cmd /c exit >/dev/null 2>&1
