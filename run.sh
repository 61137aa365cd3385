#!/usr/bin/env bash
# Builds Evalion (the release preset) and runs the evalion command: on the expressions
# given as arguments, or on a few samples when there are none.
set -euo pipefail
cd "$(dirname "$0")"

tools/instalar-paquetes.sh
cmake --preset release
cmake --build --preset release

EVALION=build/release/tools/evalion
if [ $# -gt 0 ]; then
  exec "$EVALION" "$@" </dev/null
fi
for expresion in '1+2*3' '2^3^2' '"Año"+" 2026"' '10-2-3' '0,1+0,2'; do
  printf '%s  =>  %s\n' "$expresion" "$("$EVALION" "$expresion" </dev/null)"
done
