#!/usr/bin/env bash
# Builds and runs every test, stopping at the first failure:
#   ci    Release, warnings as errors (build/ci): every test, then the engine's and the
#         libraries' test programs again under valgrind's memcheck
#   asan  AddressSanitizer, LeakSanitizer and UBSan (build/asan): every test
#   tsan  ThreadSanitizer (build/tsan): the concurrency tests
#   fuzz  libFuzzer with ASan and UBSan (build/fuzz): each target for a minute on the seed corpus
#   windows  the 32-bit Windows DLLs, cross-built (build/windows): their binary interface
set -euo pipefail
cd "$(dirname "$0")"

tools/instalar-paquetes.sh
cmake --workflow --preset ci
tests/valgrind.sh build/ci
cmake --workflow --preset asan
cmake --workflow --preset tsan
tests/fuzz/ejecutar.sh 60
cmake --workflow --preset windows
