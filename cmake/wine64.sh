#!/usr/bin/env bash
# Runs one 64-bit Windows test program under wine64 and passes its exit status on.
#
#   wine64.sh PROGRAM.exe [ARGUMENT...]
#
# 64-bit Windows programs need no 32-bit code of this machine: Debian's wine64 package (its
# loader is /usr/lib/wine/wine64, not on PATH) runs them on any x86-64 kernel, with no i386
# package. Anything that goes wrong, wine64 missing, a crash, a hang, is a failure.
#
# WINEPREFIX names the prefix (created on first use, under a lock, so parallel tests do not
# race); by default "wineprefix64" beside the program, or a copy of EVALION_WINE_MODELO. It is
# a 64-bit prefix of its own: never one of the 32-bit build's. EVALION_WINE_TIEMPO bounds one
# run in seconds (default 120; 0: unbounded), and every bound is multiplied by
# EVALION_ESCALA_TIEMPO (default 1).
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine64.sh PROGRAM.exe [ARGUMENT...]" >&2
  exit 2
fi
programa=$1
shift

# The loader and the server of 64-bit Wine, by their own paths: /usr/bin/wine picks the
# 32-bit loader where wine32 is installed too.
WINE64=${EVALION_WINE64:-/usr/lib/wine/wine64}
if [ ! -x "$WINE64" ]; then
  WINE64=$(command -v wine64 || true)
fi
if [ -z "$WINE64" ] || [ ! -x "$WINE64" ]; then
  echo "wine64.sh: wine64 is not installed (package wine64)" >&2
  exit 1
fi
export WINELOADER=$WINE64
if [ -x /usr/lib/wine/wineserver64 ]; then
  export WINESERVER=/usr/lib/wine/wineserver64
fi

export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$programa")" && pwd)/wineprefix64}
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
escala=${EVALION_ESCALA_TIEMPO:-1}
tiempo=$((${EVALION_WINE_TIEMPO:-120} * escala))

# Makes a prefix in $1: wineboot and the settings the tests need (as cmake/wine32.sh).
hacer_prefijo() {
  WINEPREFIX=$1 timeout $((300 * escala)) "$WINE64" wineboot -i >/dev/null 2>&1 ||
    { echo "wine64.sh: wineboot failed in $1" >&2; return 1; }
  # A crash must end the run with its status, not wait on a dialog; without a window
  # manager Wine would wait for one on every window that closes.
  WINEPREFIX=$1 timeout $((120 * escala)) "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  WINEPREFIX=$1 timeout $((120 * escala)) "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Debian's Wine does not find the fonts of fonts-wine on its own.
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$1/drive_c/windows/Fonts/" 2>/dev/null
  fi
  WINEPREFIX=$1 timeout $((120 * escala)) "${WINESERVER:-wineserver}" -w 2>/dev/null
  return 0
}

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    if [ -n "${EVALION_WINE_MODELO:-}" ]; then
      mkdir -p "$(dirname "$EVALION_WINE_MODELO")"
      (
        flock 8
        if [ ! -f "$EVALION_WINE_MODELO/system.reg" ]; then
          rm -rf "$EVALION_WINE_MODELO"
          hacer_prefijo "$EVALION_WINE_MODELO" || exit 1
        fi
      ) 8>"$EVALION_WINE_MODELO.lock" || exit 1
      rm -rf "$WINEPREFIX"
      cp -a "$EVALION_WINE_MODELO" "$WINEPREFIX" || { echo "wine64.sh: cannot copy the model prefix" >&2; exit 1; }
    else
      hacer_prefijo "$WINEPREFIX" || exit 1
    fi
    if [ "${EVALION_WINE_SIN_FUENTES:-0}" = 1 ]; then
      for fuente in /usr/share/wine/fonts/*; do
        rm -f "$WINEPREFIX/drive_c/windows/Fonts/$(basename "$fuente")"
      done
    fi
  fi
) 9>"$WINEPREFIX.lock" || exit 1

timeout -k 10 "$tiempo" "$WINE64" "$programa" "$@"
estado=$?
if [ $estado -eq 124 ]; then
  echo "wine64.sh: $(basename "$programa") did not finish within ${tiempo} s" >&2
fi
exit $estado
