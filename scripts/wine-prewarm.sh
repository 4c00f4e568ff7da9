#!/usr/bin/env bash
# Keeps a wineserver running for the test run so each test process starts quickly.
set -eu
source "$(dirname "$0")/wine-env.sh"
# Persistent for the whole run (wine-ctest.sh ends it): a server that times
# out between two tests drops the connection of the next one.
# Its output goes nowhere: holding the test's pipe open would keep CTest waiting.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" cmd /c exit >/dev/null 2>&1
