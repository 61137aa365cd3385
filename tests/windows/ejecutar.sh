#!/usr/bin/env bash
# The `windows` workflow on any machine: the 32-bit Windows build, the checks that need no
# 32-bit code (objdump, sizes, imports), the tests that run Windows programs under Wine
# (label "wine") and the distribution archive. Where the kernel executes 32-bit code the
# Wine tests run here; otherwise all of them run in one virtual machine booted once
# (.ci/windows32.sh), with every time bound scaled for its emulated processor.
#   tests/windows/ejecutar.sh [--sin-wine]
# --sin-wine leaves the Wine tests out, for a machine without Wine's 32-bit packages
# (./test.sh then says they were skipped).
set -euo pipefail
cd "$(dirname "$0")/../.."

sin_wine=0
case "${1:-}" in
  "") ;;
  --sin-wine) sin_wine=1 ;;
  *) echo "usage: $0 [--sin-wine]" >&2; exit 2 ;;
esac
if [ $sin_wine -eq 1 ]; then
  donde="none, the Wine tests are left out"
else
  donde=$(.ci/windows32.sh --sonda)
fi
escala=$(.ci/windows32.sh --escala)
export EVALION_ESCALA_TIEMPO=$escala
echo "Windows run-time tests: $donde, time bounds x$escala"

cmake --preset windows -DEVALION_ESCALA_TIEMPO="$escala"
cmake --build --preset windows
inicio=$SECONDS
if [ $sin_wine -eq 1 ]; then
  ctest --preset windows -LE wine
elif [ "$donde" = "native" ]; then
  ctest --preset windows
else
  ctest --preset windows -LE wine
  .ci/windows32.sh --orden --carpeta build/windows ctest --preset windows -L wine
fi
echo "Windows tests: $((SECONDS - inicio)) s ($donde)"
cpack --preset windows
