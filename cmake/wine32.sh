#!/usr/bin/env bash
# Runs one 32-bit Windows test program under Wine and passes its exit status on.
#
#   wine32.sh PROGRAM.exe [ARGUMENT...]
#   wine32.sh --sonda      only the check below: its line and 77, or 0 where 32-bit code runs
#
# Where this machine cannot execute 32-bit x86 code at all (the kernel's IA-32 emulation is
# off, so Wine's 32-bit loader cannot start), it prints one line saying so and exits 77,
# which the tests register as their skip code. Anything else that goes wrong, Wine missing,
# a crash, a hang, is a failure: a skip must never hide one.
#
# WINEPREFIX names the prefix (created on first use, under a lock, so parallel tests do not
# race); by default "wineprefix" beside the program, or a copy of EVALION_WINE_MODELO.
# EVALION_WINE_TIEMPO bounds one run in seconds (default 120; 0: unbounded), and every bound
# is multiplied by EVALION_ESCALA_TIEMPO (default 1).
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine32.sh PROGRAM.exe [ARGUMENT...] | --sonda" >&2
  exit 2
fi
programa=$1
shift
if [ "$programa" = "--sonda" ]; then
  que="the 32-bit Windows programs"
else
  que=$(basename "$programa")
fi

# The kernel decides, not Wine: a static i386 ELF that exits with 42 through int 0x80.
sonda=$(mktemp "${TMPDIR:-/tmp}/evalion-ia32.XXXXXX")
trap 'rm -f "$sonda"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'\
'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000'\
'\064\000\040\000\001\000\000\000\000\000\000\000'\
'\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000'\
'\005\000\000\000\000\020\000\000'\
'\270\001\000\000\000\273\052\000\000\000\315\200' > "$sonda"
chmod +x "$sonda"
"$sonda" 2>/dev/null
if [ $? -ne 42 ]; then
  echo "SKIPPED: this machine does not execute 32-bit x86 code (IA-32 emulation is off), so Wine cannot run $que (.ci/windows32.sh runs them in a virtual machine)"
  exit 77
fi
if [ "$programa" = "--sonda" ]; then
  exit 0
fi

if ! command -v wine >/dev/null; then
  echo "wine32.sh: wine is not installed (packages wine and wine32:i386)" >&2
  exit 1
fi

export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$programa")" && pwd)/wineprefix}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# EVALION_ESCALA_TIEMPO multiplies every bound (a virtual machine emulating the processor
# runs Wine about ten times slower); EVALION_WINE_TIEMPO 0 means no bound on the run.
escala=${EVALION_ESCALA_TIEMPO:-1}
tiempo=$((${EVALION_WINE_TIEMPO:-120} * escala))

# Makes a prefix in $1: wineboot and the settings the tests need. Under emulation this is
# the costly step (minutes), hence the model below.
hacer_prefijo() {
  WINEPREFIX=$1 timeout $((300 * escala)) wineboot -i >/dev/null 2>&1 ||
    { echo "wine32.sh: wineboot failed in $1" >&2; return 1; }
  # A crash must end the run with its status, not wait on a dialog; without a window
  # manager Wine would wait for one on every window that closes.
  WINEPREFIX=$1 timeout $((120 * escala)) wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  WINEPREFIX=$1 timeout $((120 * escala)) wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Debian's Wine does not find the fonts of fonts-wine on its own.
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$1/drive_c/windows/Fonts/" 2>/dev/null
  fi
  WINEPREFIX=$1 timeout $((120 * escala)) wineserver -w 2>/dev/null
  return 0
}

# EVALION_WINE_MODELO names a prefix that is made once and never run in: each test's prefix
# starts as a copy of it, so a build tree pays for one wineboot however many prefixes its
# tests need.
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
      cp -a "$EVALION_WINE_MODELO" "$WINEPREFIX" || { echo "wine32.sh: cannot copy the model prefix" >&2; exit 1; }
    else
      hacer_prefijo "$WINEPREFIX" || exit 1
    fi
    # EVALION_WINE_SIN_FUENTES=1: the prefix as on a machine without fonts-wine, for the
    # tests of what stands in for the fonts a form was laid out with.
    if [ "${EVALION_WINE_SIN_FUENTES:-0}" = 1 ]; then
      for fuente in /usr/share/wine/fonts/*; do
        rm -f "$WINEPREFIX/drive_c/windows/Fonts/$(basename "$fuente")"
      done
    fi
  fi
) 9>"$WINEPREFIX.lock" || exit 1

timeout -k 10 "$tiempo" wine "$programa" "$@"
estado=$?
if [ $estado -eq 124 ]; then
  echo "wine32.sh: $(basename "$programa") did not finish within ${tiempo} s" >&2
fi
exit $estado
