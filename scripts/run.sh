#!/usr/bin/env bash
# Builds the program and runs it on a sample archive it generates itself.
# Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target zelko
zelko=build/native-release/cli/zelko
sample=build/sample/sample.bin
mkdir -p build/sample
"$zelko" sample "$sample"
"$zelko" list "$sample"
"$zelko" textures "$sample" --entry 1
echo
echo "The command-line tool is $zelko; try '$zelko --help'."
