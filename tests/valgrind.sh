#!/usr/bin/env bash
# Runs the native test programs of a build under valgrind's memcheck: any invalid read or
# write, use of an uninitialised value in a decision, or leak fails the run.
#   tests/valgrind.sh [BUILD-DIR]   (default build/ci, made by ./test.sh or the ci preset)
set -euo pipefail
cd "$(dirname "$0")/.."

construccion=${1:-build/ci}
programas=(motor memoria bibliotecas_evalion bibliotecas_evalionobj herramientas_comun estandar interfaz
  formula/formula formula/formulaobj)
for programa in "${programas[@]}"; do
  echo "== $programa"
  valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$construccion/tests/$programa" --gtest_brief=1
done
echo "valgrind: ${#programas[@]} programs clean"
