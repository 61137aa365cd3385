#!/usr/bin/env bash
# Runs the native test programs of a build under valgrind's memcheck: any invalid read or
# write, use of an uninitialised value in a decision, or leak fails the run.
#   tests/valgrind.sh [BUILD-DIR]   (default build/ci, made by ./test.sh or the ci preset)
set -euo pipefail
cd "$(dirname "$0")/.."

construccion=${1:-build/ci}
programas=(motor memoria bibliotecas_evalion bibliotecas_evalionobj herramientas_comun estandar interfaz
  formula/formula formula/formulaobj)
registros=$(mktemp -d)
trap 'rm -rf "$registros"' EXIT

# Program N of the list under memcheck; its report goes to $registros/N.log, its exit status
# to $registros/N.estado.
en_valgrind() {
  local estado=0
  valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$construccion/tests/${programas[$1]}" --gtest_brief=1 >"$registros/$1.log" 2>&1 || estado=$?
  echo "$estado" >"$registros/$1.estado"
}

# A program under valgrind keeps one core busy, so as many run at once as the machine has
# cores; the reports come out whole, in the list's order.
nucleos=$(nproc)
for i in "${!programas[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$nucleos" ]; do
    wait -n || true
  done
  en_valgrind "$i" &
done
wait
fallidos=0
for i in "${!programas[@]}"; do
  echo "== ${programas[$i]}"
  cat "$registros/$i.log"
  if [ "$(cat "$registros/$i.estado")" != 0 ]; then
    echo "valgrind: ${programas[$i]} failed (status $(cat "$registros/$i.estado"))"
    fallidos=$((fallidos + 1))
  fi
done
if [ $fallidos -gt 0 ]; then
  echo "valgrind: $fallidos of ${#programas[@]} programs failed"
  exit 1
fi
echo "valgrind: ${#programas[@]} programs clean"
