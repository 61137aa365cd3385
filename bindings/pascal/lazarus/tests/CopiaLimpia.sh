#!/bin/bash
# The Lazarus package from a clean copy of the repository (its tracked files, as a clone has
# them): every package or project file of the copy builds with lazbuild where it lies, the
# package builds through CMake in a build tree outside the copy, and afterwards the copy holds
# no file that was not tracked, ignored ones included. Status 77 (skipped) outside a checkout.
#   CopiaLimpia.sh SOURCE-ROOT LAZBUILD
set -euo pipefail
RAIZ=$1
LAZBUILD=$2
git -C "$RAIZ" rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "not a git checkout"; exit 77; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
COPIA=$T/copia
mkdir "$COPIA"
git -C "$RAIZ" ls-files -z | tar -C "$RAIZ" --null -T - -cf - | tar -C "$COPIA" -xf -
git -C "$COPIA" init -q
git -C "$COPIA" add -A
git -C "$COPIA" -c user.name=prueba -c user.email=prueba@localhost commit -qm copia

fallos=0
fallo() {
  echo "FAIL: $*"
  fallos=$((fallos + 1))
}
while IFS= read -r archivo; do
  "$LAZBUILD" --pcp="$T/lazarus" -q "$COPIA/$archivo" >"$T/lazbuild.log" 2>&1 ||
    fallo "lazbuild $archivo: $(grep -m 3 -E 'Error|Fatal' "$T/lazbuild.log" | tr '\n' ' ')"
done < <(git -C "$COPIA" ls-files '*.lpk' '*.lpi')

CONSTRUCCION=$T/construccion
if cmake -S "$COPIA" -B "$CONSTRUCCION" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DEVALION_BENCH=OFF -DEVALION_QT=OFF >"$T/cmake.log" 2>&1 &&
  cmake --build "$CONSTRUCCION" --parallel 2 --target evalcomp_lazarus pruebas_evalcomp >>"$T/cmake.log" 2>&1; then
  [ -f "$CONSTRUCCION/bindings/pascal/lazarus/pruebas/PruebasPaquete" ] || fallo "no package test program was built"
else
  fallo "the build of the package: $(tail -n 20 "$T/cmake.log")"
fi

escritos=$(git -C "$COPIA" status --porcelain --untracked-files=all --ignored)
[ -z "$escritos" ] || fallo "files written into the copy:"$'\n'"$escritos"
[ $fallos -eq 0 ] || exit 1
echo "the package built from a clean copy; nothing written into it"
