#!/usr/bin/env bash
# Builds the editor and opens it on a sample archive the project generates
# itself: under Wine in $DISPLAY, or in a virtual display with a screenshot.
# Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
exec bash scripts/run-editor.sh
