#!/usr/bin/env bash
# Builds the libFuzzer target fuzz/fuzz_NAME.cpp (clang, ASan and UBSan) over
# the portable core and runs it for SECONDS. The corpus build/fuzz/corpus-NAME
# keeps what the runs find; each run also reads the seeds of
# scripts/fuzz-seeds.sh. A crash, leak, timeout or out-of-memory input is
# written to build/fuzz/findings-NAME/. The regressions are not read: one not
# yet fixed would end the run at once (the unit tests replay them).
# To go on past known out-of-memory inputs: -fork=1 -ignore_ooms=1.
# Usage: scripts/fuzz.sh NAME [SECONDS] [extra libFuzzer options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: fuzz.sh NAME [SECONDS] [libFuzzer options]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
[ -f "$root/fuzz/fuzz_$name.cpp" ] || { echo "fuzz.sh: there is no fuzz/fuzz_$name.cpp" >&2; exit 2; }
out="$root/build/fuzz"
bash "$root/scripts/setup.sh"

# shellcheck source=../fuzz/core-objects.sh
source "$root/fuzz/core-objects.sh"
flags=(-std=c++20 -g -O1 -fsanitize=address,undefined -DZELKO_VERSION='"fuzz"')
build_core "$root" "$out/obj" "${flags[@]}" -fsanitize=fuzzer-no-link
clang++ "${flags[@]}" -fsanitize=fuzzer -I"$root" -isystem /usr/include/stb "$root/fuzz/fuzz_$name.cpp" \
  "$core_library" "${core_libraries[@]}" -o "$out/fuzz_$name"

bash "$root/scripts/fuzz-seeds.sh" >/dev/null
corpora=("$out/corpus-$name")
[ -d "$out/seeds/$name" ] && corpora+=("$out/seeds/$name")
# The targets' temporary files go to a folder of the run's own: a process
# that dies on a finding cannot remove its own.
tmp="$out/tmp-$name"
mkdir -p "$out/corpus-$name" "$out/findings-$name" "$tmp"
status=0
TMPDIR="$tmp" "$out/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 -timeout=10 \
  -artifact_prefix="$out/findings-$name/" "$@" "${corpora[@]}" || status=$?
rm -rf "$tmp"
exit "$status"
