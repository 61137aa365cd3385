#!/usr/bin/env bash
# The `windows64` workflow on any x86-64 machine: the 64-bit Windows build, the checks that
# read the built files (objdump: exports, imports, sizes) and the tests that run the programs
# under wine64 (label "wine"), then the distribution archive. wine64 runs 64-bit programs on
# any x86-64 kernel, so no virtual machine is ever needed here.
#   tests/windows64/ejecutar.sh [--sin-wine]
# --sin-wine leaves the wine64 tests out, for a machine without the wine64 package
# (./test.sh then says they were skipped).
set -euo pipefail
cd "$(dirname "$0")/../.."

sin_wine=0
case "${1:-}" in
  "") ;;
  --sin-wine) sin_wine=1 ;;
  *) echo "usage: $0 [--sin-wine]" >&2; exit 2 ;;
esac

cmake --preset windows64
cmake --build --preset windows64
inicio=$SECONDS
if [ $sin_wine -eq 1 ]; then
  ctest --preset windows64 -LE wine
else
  ctest --preset windows64
fi
echo "64-bit Windows tests: $((SECONDS - inicio)) s"
cpack --preset windows64
