#!/usr/bin/env bash
# The window test: CONDUCTOR.exe drives Evaldemo.exe on a virtual X display under Wine, and
# the screenshots it saves become PNG files in CAPTURAS.
#
#   ventana.sh WINE32.SH CONDUCTOR.exe CAPTURAS CONVERT
#
# Exits 77 (a skip) exactly where WINE32.SH does, when this machine cannot run 32-bit code.
# The prefix is the caller's WINEPREFIX and must serve no other test: a wineserver started
# without a display keeps a desktop without one, so this one is started on the display and
# stopped before the display goes.
set -uo pipefail
if [ $# -ne 4 ]; then
  echo "usage: ventana.sh WINE32.SH CONDUCTOR.exe CAPTURAS CONVERT" >&2
  exit 2
fi
wine32=$1 conductor=$2 capturas=$3 convertir=$4
: "${WINEPREFIX:?ventana.sh needs a WINEPREFIX of its own}"
export WINEPREFIX

mkdir -p "$capturas" && cd "$capturas" || exit 1
rm -f evaldemo-resultado.* evaldemo-error.*

# The screenshots are written into the current folder, this one.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" "$2"; estado=$?
  if [ $estado -ne 77 ]; then wineserver -k 2>/dev/null; fi
  exit $estado' ventana "$wine32" "$conductor"
estado=$?
if [ $estado -ne 0 ]; then
  exit $estado
fi

# A screenshot of a window has text and frames: many colours, never a plain area.
for captura in evaldemo-resultado evaldemo-error; do
  if ! "$convertir" "$captura.bmp" "$captura.png" || [ ! -s "$captura.png" ]; then
    echo "ventana.sh: no screenshot $capturas/$captura.png" >&2
    exit 1
  fi
  colores=$("$convertir" "$captura.png" -format %k info:)
  if ! [ "${colores:-0}" -gt 3 ] 2>/dev/null; then
    echo "ventana.sh: $capturas/$captura.png shows no window (${colores:-no} colours)" >&2
    exit 1
  fi
  rm -f "$captura.bmp"
  echo "screenshot: $capturas/$captura.png"
done
