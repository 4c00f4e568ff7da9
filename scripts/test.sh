#!/usr/bin/env bash
# Builds and runs every test: natively with sanitizers, then the Windows build
# under Wine in a virtual display. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

echo "== Formatting (.clang-format)"
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
  echo "Formatting differs from .clang-format. To fix: git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i"
  exit 1
fi

echo "== Include directions"
bash scripts/check-includes.sh

echo "== Native build (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset native -DZELKO_SANITIZE=ON >/dev/null
cmake --build --preset native
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --preset native

echo "== Windows build (mingw-w64), tests under Wine"
bash scripts/build-windows-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
# One virtual display for the whole run; the wineserver starts inside it.
xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/wine-ctest.sh
echo "== All tests passed"
