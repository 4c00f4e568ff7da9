# Sourced by scripts/fuzz.sh and scripts/fuzz-seeds.sh: compiles the portable
# core (format/, texture/, container/ and the imaging layer, imaging/) with clang into a static library,
# recompiling a source only when its text, a header it includes or the flags
# changed. A source this clang cannot compile is left out with a warning; the
# link then says whether a target needs it. Sets core_library; link it with
# core_libraries, the native libraries of cmake/Dependencies.cmake.
# Usage: build_core ROOT OBJECT_FOLDER CLANG_FLAGS...
core_libraries=(-llz4 -ltiff -lgif -lpng)

build_core() {
  local root=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  if [ "$(cat "$dir/flags" 2>/dev/null)" != "$*" ]; then
    rm -f "$dir"/*.o "$dir"/*.d
    printf '%s\n' "$*" >"$dir/flags"
  fi
  local src obj dep stale objects=()
  for src in "$root"/format/*.cpp "$root"/imaging/*.cpp "$root"/texture/*.cpp "$root"/container/*.cpp; do
    obj="$dir/$(basename "$(dirname "$src")")-$(basename "${src%.cpp}").o"
    stale=1
    if [ -f "$obj" ] && [ -f "$obj.d" ]; then
      stale=0
      for dep in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$obj.d"); do
        if [ "$dep" -nt "$obj" ]; then stale=1; break; fi
      done
    fi
    if [ "$stale" = 1 ]; then
      echo "compiling ${src#"$root"/}" >&2
      if ! clang++ "$@" -I"$root" -isystem /usr/include/stb -MMD -MF "$obj.d" -c "$src" -o "$obj" 2>"$obj.log"; then
        echo "warning: left out ${src#"$root"/}, which clang cannot compile:" >&2
        grep -m1 'error:' "$obj.log" >&2 || true
        rm -f "$obj" "$obj.d"
        continue
      fi
    fi
    objects+=("$obj")
  done
  core_library="$dir/libzelko_core.a"
  rm -f "$core_library"
  ar rcs "$core_library" "${objects[@]}"
}
