#!/usr/bin/env bash
# Cross-builds the static Windows libraries the project links (lz4, GoogleTest)
# from Debian's source packages into build/windows-deps/prefix. Cached: a
# second run with the same package versions does nothing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/windows-deps"
prefix="$deps/prefix"
src="$deps/src"
toolchain="$root/cmake/mingw-w64.cmake"
stamp="$deps/stamp-$(dpkg-query -W -f='${Version}' liblz4-dev)-$(dpkg-query -W -f='${Version}' googletest)-1"

[ -f "$stamp" ] && exit 0
mkdir -p "$src" "$prefix"
# apt fetches as its own user when it can write there.
chmod 777 "$src"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# Source entries mirror the machine's own binary entries, so no host is named here.
enable_source_entries() {
  local changed=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *zelko-src.sources) continue ;; esac
    grep -q '^Types:.*deb-src' "$f" && return 0
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb-src ' /etc/apt/sources.list; then return 0; fi
  local out=/etc/apt/sources.list.d/zelko-src.sources
  if [ ! -f "$out" ]; then
    local tmp; tmp=$(mktemp)
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      sed -e 's/^Types:.*/Types: deb-src/' "$f" >> "$tmp"
      echo >> "$tmp"
    done
    if [ -f /etc/apt/sources.list ]; then
      local legacy=/etc/apt/sources.list.d/zelko-src.list
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee "$legacy" >/dev/null || true
    fi
    $SUDO cp "$tmp" "$out"
    rm -f "$tmp"
    changed=1
  fi
  if [ $changed = 1 ] || ! apt-cache showsrc lz4 >/dev/null 2>&1; then
    $SUDO apt-get update -qq
  fi
}

if ! ls "$src"/lz4_*.dsc >/dev/null 2>&1; then
  enable_source_entries
  (cd "$src" && apt-get source --download-only -qq lz4 >/dev/null)
fi
rm -rf "$src/lz4-src"
(cd "$src" && dpkg-source -x --no-check lz4_*.dsc lz4-src >/dev/null)

echo "Cross-building lz4 for Windows"
cmake -S "$src/lz4-src/build/cmake" -B "$deps/lz4-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZELKO_WINDOWS_DEPS="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_INSTALL_INCLUDEDIR=include \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
  -DLZ4_BUILD_CLI=OFF -DLZ4_BUILD_LEGACY_LZ4C=OFF >/dev/null
cmake --build "$deps/lz4-build" -j2 >/dev/null
cmake --install "$deps/lz4-build" >/dev/null

echo "Cross-building GoogleTest for Windows"
cmake -S /usr/src/googletest -B "$deps/gtest-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZELKO_WINDOWS_DEPS="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build "$deps/gtest-build" -j2 >/dev/null
cmake --install "$deps/gtest-build" >/dev/null

rm -f "$deps"/stamp-*
touch "$stamp"
