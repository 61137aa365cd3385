#!/bin/sh
# Instructions per evaluation of every row of bench/Pares.h with every measurer (our form
# asked and bound, with and without the host's settings, bound through A_EvaluarNumero,
# muparser, exprtk, the hand-written function), counted by valgrind's callgrind inside the loop of COUNT evaluations only.
#
#   bench/callgrind-pares.sh [BUILD-DIR]
#
# BUILD-DIR is where evalion_contar_pares was built (default: build under the repository).
set -eu

RAIZ=$(cd "$(dirname "$0")/.." && pwd)
DIRECTORIO=${1:-"$RAIZ/build"}
PROGRAMA="$DIRECTORIO/bench/evalion_contar_pares"
VECES=1000
MEDIDORES="asked bound asked/host bound/host number number/host value/host muparser exprtk hand"
if [ ! -x "$PROGRAMA" ]; then
    echo "no $PROGRAMA: build the target evalion_contar_pares first" >&2
    exit 2
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

TEMPORAL=$(mktemp -d)
trap 'rm -rf "$TEMPORAL"' EXIT

# Instructions of one evaluation of ROW with MEASURER, or n/a when that measurer cannot run.
por_evaluacion() {
    if valgrind --tool=callgrind --callgrind-out-file="$TEMPORAL/salida" --collect-atstart=no \
        '--toggle-collect=*Repetir*Medida*' "$PROGRAMA" "$1" "$2" "$VECES" \
        >/dev/null 2>"$TEMPORAL/valgrind.log"; then
        awk -v veces="$VECES" '/^(summary|totals):/ { printf "%.0f", $2 / veces; exit }' "$TEMPORAL/salida"
    else
        echo n/a
    fi
}

printf '%-18s' row
for M in $MEDIDORES; do printf '%12s' "$M"; done
printf '\n'
# Row names hold blanks: take them from the program's own list, one a line.
"$PROGRAMA" 2>&1 | sed -n '/^rows:/,/^measurers:/p' | sed '1d;$d;s/^  //' > "$TEMPORAL/filas" || true
while IFS= read -r FILA; do
    printf '%-18s' "$FILA"
    for M in $MEDIDORES; do printf '%12s' "$(por_evaluacion "$FILA" "$M")"; done
    printf '\n'
done < "$TEMPORAL/filas"
