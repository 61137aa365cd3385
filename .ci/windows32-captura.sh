#!/usr/bin/env bash
# Runs a Windows program on a virtual display, saves a picture of the display after
# EVALION_CAPTURA seconds (default 5, times EVALION_ESCALA_TIEMPO) and ends the program.
#
#   windows32-captura.sh FILE.png WINE32.SH PROGRAM.exe [ARGUMENT...]
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: windows32-captura.sh FILE.png WINE32.SH PROGRAM.exe [ARGUMENT...]" >&2; exit 2; }
captura=$1
shift
espera=$((${EVALION_CAPTURA:-5} * ${EVALION_ESCALA_TIEMPO:-1}))
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  captura=$1 espera=$2
  shift 2
  EVALION_WINE_TIEMPO=0 "$@" &
  programa=$!
  sleep "$espera"
  estado=0
  import -window root "$captura" || estado=1
  wineserver -k 2>/dev/null
  kill "$programa" 2>/dev/null
  wait "$programa" 2>/dev/null
  exit $estado' captura "$captura" "$espera" "$@"
estado=$?
[ $estado -eq 0 ] && echo "screenshot: $captura"
exit $estado
