#!/usr/bin/env bash
# Writes small valid inputs for every fuzz target into build/fuzz/seeds/NAME/,
# made by the project's own writers (fuzz/make_seeds.cpp: packs of every game
# layout, archives, the sample archive, vinyl and thumbnail files, a load
# cache, a compressed archive, image and DDS files). Nothing is downloaded.
# Usage: scripts/fuzz-seeds.sh [OUT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/fuzz"
seeds=${1:-$out/seeds}
# shellcheck source=../fuzz/core-objects.sh
source "$root/fuzz/core-objects.sh"
flags=(-std=c++20 -O1 -DZELKO_VERSION='"seeds"')
build_core "$root" "$out/obj-seeds" "${flags[@]}"
clang++ "${flags[@]}" -I"$root" "$root/fuzz/make_seeds.cpp" "$core_library" \
  "${core_libraries[@]}" -o "$out/make_seeds"
rm -rf "$seeds"
"$out/make_seeds" "$seeds"
echo "Seeds in $seeds:" $(cd "$seeds" && for d in *; do printf '%s=%s ' "$d" "$(ls "$d" | wc -l)"; done)
