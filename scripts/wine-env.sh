# Sourced: the environment for running the Windows build under Wine, with a
# prefix of its own inside the build folder.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export LANG=C.UTF-8
# No Mono or Gecko prompts, no debugger: a crashing test must fail, not hang or pass.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# Creates the prefix once; settings that make headless GUI runs quick.
wine_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.zelko-ready" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    # Without a window manager every hide of a managed window stalls for 2 s.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.zelko-ready"
  fi
}
