#!/bin/sh
# Instructions per expression, counted by valgrind's callgrind, for three corpus rows.
# Each row runs once and 1001 times; the difference divided by 1000 is the cost of one
# analysis, without start-up and without the first call's lazy binding.
#
#   bench/callgrind.sh [BUILD-DIR] [--anotar] [--fila=ROW]...
#
# BUILD-DIR is where evalion_contar was built (default: build under the repository).
# --anotar also prints, per row, callgrind_annotate's functions by their own cost,
# collected only inside the repeating loop (1000 analyses).
# --fila=ROW measures that corpus row instead of the three default ones (repeatable).
set -eu

RAIZ=$(cd "$(dirname "$0")/.." && pwd)
DIRECTORIO="$RAIZ/build"
ANOTAR=no
FILAS=""
for ARGUMENTO in "$@"; do
    case "$ARGUMENTO" in
        --anotar) ANOTAR=yes ;;
        --fila=*) FILAS="$FILAS${ARGUMENTO#--fila=}
" ;;
        *) DIRECTORIO=$ARGUMENTO ;;
    esac
done
if [ -z "$FILAS" ]; then
    FILAS="1+2
Raiz(4)+Seno(0)
anidada 1000
"
fi

PROGRAMA="$DIRECTORIO/bench/evalion_contar"
if [ ! -x "$PROGRAMA" ]; then
    echo "no $PROGRAMA: build the target evalion_contar first" >&2
    exit 2
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

TEMPORAL=$(mktemp -d)
trap 'rm -rf "$TEMPORAL"' EXIT

# Total instructions of one run of ROW COUNT [extra valgrind options].
instrucciones() {
    FILA=$1
    VECES=$2
    shift 2
    valgrind --tool=callgrind --callgrind-out-file="$TEMPORAL/salida" "$@" \
        "$PROGRAMA" "$FILA" "$VECES" >/dev/null 2>"$TEMPORAL/valgrind.log" \
        || { cat "$TEMPORAL/valgrind.log" >&2; exit 1; }
    awk '/^(summary|totals):/ { print $2; exit }' "$TEMPORAL/salida"
}

printf '%-18s %12s %12s %16s\n' "row" "1 run" "1001 runs" "per expression"
# Row names hold blanks: split the list on line ends only.
ANTERIOR_IFS=$IFS
IFS='
'
for FILA in $FILAS; do
    UNA=$(instrucciones "$FILA" 1)
    MIL=$(instrucciones "$FILA" 1001)
    printf '%-18s %12s %12s %16s\n' "$FILA" "$UNA" "$MIL" "$(( (MIL - UNA) / 1000 ))"
done

if [ "$ANOTAR" = yes ]; then
    for FILA in $FILAS; do
        echo
        echo "== $FILA: 1000 analyses, cost by function (self) =="
        instrucciones "$FILA" 1000 --collect-atstart=no '--toggle-collect=*Repetir*' >/dev/null
        # The table of functions: after its header and rule, up to the first blank line.
        callgrind_annotate --inclusive=no "$TEMPORAL/salida" 2>/dev/null \
            | awk '/^Ir +file:function/ { tabla = 1; getline; next } tabla && /^$/ { exit } tabla' | head -20
    done
fi
IFS=$ANTERIOR_IFS
