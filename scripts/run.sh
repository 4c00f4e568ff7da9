#!/usr/bin/env bash
# Builds the program and runs it. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target zelko
build/native-release/cli/zelko --version
build/native-release/cli/zelko --help
