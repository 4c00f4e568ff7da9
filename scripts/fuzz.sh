#!/usr/bin/env bash
# Builds a libFuzzer target from fuzz/fuzz_NAME.cpp and runs it.
# Usage: scripts/fuzz.sh NAME [SECONDS] [extra libFuzzer options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: fuzz.sh NAME [SECONDS]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
out="$root/build/fuzz"
mkdir -p "$out/corpus-$name"
bash "$root/scripts/setup.sh"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
  -I"$root" -isystem /usr/include/stb -DZELKO_VERSION='"fuzz"' \
  "$root/fuzz/fuzz_$name.cpp" "$root"/format/*.cpp $(ls "$root"/texture/*.cpp 2>/dev/null) \
  -llz4 -ltiff -lgif -o "$out/fuzz_$name"
"$out/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 "$@" "$out/corpus-$name"
