#!/bin/sh
# Instructions per expression, counted by valgrind's callgrind, for five corpus rows, each
# beside the floor of the work on the same text (bench/Piso.h) and the ratio of the two.
# Each row runs once and 1001 times; the difference divided by 1000 is the cost of one
# analysis, without start-up and without the first call's lazy binding.
#
#   bench/callgrind.sh [BUILD-DIR] [--anotar] [--fila=ROW]...
#
# BUILD-DIR is where evalion_contar was built (default: build under the repository).
# --anotar also prints, per row, callgrind_annotate's functions by their own cost,
# collected only inside the repeating loop (1000 analyses).
# --fila=ROW measures that corpus row instead of the default ones (repeatable).
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
texto < 1000
parentesis x10
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

# Total instructions of one run of ROW COUNT MODE [extra valgrind options]; MODE is empty
# for the engine, "piso" for the floor.
instrucciones() {
    FILA=$1
    VECES=$2
    MODO=$3
    shift 3
    valgrind --tool=callgrind --callgrind-out-file="$TEMPORAL/salida" "$@" \
        "$PROGRAMA" "$FILA" "$VECES" $MODO >/dev/null 2>"$TEMPORAL/valgrind.log" \
        || { cat "$TEMPORAL/valgrind.log" >&2; exit 1; }
    awk '/^(summary|totals):/ { print $2; exit }' "$TEMPORAL/salida"
}

# Instructions of one analysis of ROW (or of its floor with the extra argument "piso").
por_expresion() {
    UNA=$(instrucciones "$1" 1 "$2")
    MIL=$(instrucciones "$1" 1001 "$2")
    echo $(( (MIL - UNA) / 1000 ))
}

printf '%-18s %16s %10s %10s\n' "row" "per expression" "floor" "ratio"
# Row names hold blanks: split the list on line ends only.
ANTERIOR_IFS=$IFS
IFS='
'
for FILA in $FILAS; do
    MOTOR=$(por_expresion "$FILA" "")
    PISO=$(por_expresion "$FILA" piso)
    printf '%-18s %16s %10s %10s\n' "$FILA" "$MOTOR" "$PISO" \
        "$(awk -v m="$MOTOR" -v p="$PISO" 'BEGIN { printf "%.2f", m / p }')"
done

if [ "$ANOTAR" = yes ]; then
    for FILA in $FILAS; do
        echo
        echo "== $FILA: 1000 analyses, cost by function (self) =="
        instrucciones "$FILA" 1000 "" --collect-atstart=no '--toggle-collect=*Repetir*' >/dev/null
        # The table of functions: after its header and rule, up to the first blank line.
        callgrind_annotate --inclusive=no "$TEMPORAL/salida" 2>/dev/null \
            | awk '/^Ir +file:function/ { tabla = 1; getline; next } tabla && /^$/ { exit } tabla' | head -20
    done
fi
IFS=$ANTERIOR_IFS
