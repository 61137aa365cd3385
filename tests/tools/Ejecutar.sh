#!/bin/sh
# run.sh keeps its standard output for the results: the package check and the build, here
# stand-ins that write to standard output, must reach standard error instead.
#   Ejecutar.sh RUN_SH EVALION
set -eu
RUN_SH=$1
EVALION=$2
ARBOL=$(mktemp -d)
trap 'rm -rf "$ARBOL"' EXIT

mkdir -p "$ARBOL/.ci" "$ARBOL/build/run/tools" "$ARBOL/bin"
cp "$RUN_SH" "$ARBOL/run.sh"
ln -s "$EVALION" "$ARBOL/build/run/tools/evalion"
printf '#!/bin/sh\necho "Installing: nothing for $*"\n' > "$ARBOL/.ci/instalar-paquetes.sh"
printf '#!/bin/sh\necho "-- Configuring done: $*"\n[ -z "${CMAKE_FALLA:-}" ]\n' > "$ARBOL/bin/cmake"
chmod +x "$ARBOL/.ci/instalar-paquetes.sh" "$ARBOL/bin/cmake"

fallo() {
  echo "run.sh: $*" >&2
  exit 1
}

estado=0
PATH="$ARBOL/bin:$PATH" "$ARBOL/run.sh" '2^10' '1+' > "$ARBOL/salida" 2> "$ARBOL/errores" || estado=$?
[ "$estado" -eq 1 ] || fallo "exit status $estado, expected 1"
printf '1024\nError: Se esperaba un operando en la posición 3\n' | cmp -s - "$ARBOL/salida" ||
  fallo "standard output was: $(cat "$ARBOL/salida")"
grep -q '^Installing: nothing for principal$' "$ARBOL/errores" ||
  fallo "the main job's package check did not report on standard error"
grep -q '^-- Configuring done: --preset run$' "$ARBOL/errores" || fallo "the first run did not configure"
grep -q '^-- Configuring done: --build build/run .*--target evalion_cli evalion ' "$ARBOL/errores" || fallo "the build did not report on standard error"

# Once configured, only the build runs; a failing build stops run.sh before the program.
touch "$ARBOL/build/run/CMakeCache.txt"
estado=0
CMAKE_FALLA=1 PATH="$ARBOL/bin:$PATH" "$ARBOL/run.sh" '2^10' > "$ARBOL/salida" 2> "$ARBOL/errores" || estado=$?
[ "$estado" -ne 0 ] || fallo "a failed build gave status 0"
[ ! -s "$ARBOL/salida" ] || fallo "a failed build printed: $(cat "$ARBOL/salida")"
! grep -q -- '--preset run$' "$ARBOL/errores" || fallo "a configured tree was configured again"
