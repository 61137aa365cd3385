#!/usr/bin/env bash
# Builds and runs every test, stopping at the first failure:
#   ci    Release, warnings as errors (build/ci): every test, then the engine's and the
#         libraries' test programs again under valgrind's memcheck
#   asan  AddressSanitizer, LeakSanitizer and UBSan (build/asan): every test
#   tsan  ThreadSanitizer (build/tsan): the concurrency tests
#   make  the same tree with CMake's default generator (Unix Makefiles, build/make), built once
#   fuzz  libFuzzer with ASan and UBSan (build/fuzz): each target for a minute on the seed corpus
#   windows  the 32-bit Windows build (build/windows): the objdump checks, and under Wine the
#         DLLs' interface and behaviour tables, Evaldemo.exe driven on Xvfb, the distribution;
#         where this machine's kernel cannot run 32-bit code, the Wine tests run in a QEMU
#         virtual machine booted once for them (tests/windows/ejecutar.sh)
set -euo pipefail
cd "$(dirname "$0")"

.ci/instalar-paquetes.sh
cmake --workflow --preset ci
tests/valgrind.sh build/ci
cmake --workflow --preset asan
cmake --workflow --preset tsan
cmake -S . -B build/make -G "Unix Makefiles" && cmake --build build/make --parallel 2
tests/fuzz/ejecutar.sh 60
tests/windows/ejecutar.sh
