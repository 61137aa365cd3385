#!/usr/bin/env bash
# The LCL Evaldemo's test under Wine: PROGRAM.exe on a virtual X display, with its
# screenshot written as CAPTURE (a PNG, in the current folder).
#
#   wine.sh WINE.SH PROGRAM.exe CAPTURE      (WINE.SH: cmake/wine32.sh or cmake/wine64.sh)
#
# Exits 77 (a skip) exactly where WINE.SH does. The prefix is the caller's WINEPREFIX and
# serves no other test: a wineserver started without a display keeps a desktop without
# one, so this one starts on the display and is stopped before the display goes.
set -uo pipefail
if [ $# -ne 3 ]; then
  echo "usage: wine.sh WINE.SH PROGRAM.exe CAPTURE" >&2
  exit 2
fi
: "${WINEPREFIX:?wine.sh needs a WINEPREFIX of its own}"
export WINEPREFIX
rm -f "$3"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" "$2" "--captura=$3"; estado=$?
  if [ $estado -ne 77 ]; then wineserver -k 2>/dev/null; fi
  exit $estado' wine "$1" "$2" "$3"
