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
#   windows64  the 64-bit Windows build (build/windows64): the objdump checks, and under wine64
#         (any x86-64 kernel) the interface and behaviour tables, the rows, Evaldemo.exe on
#         Xvfb, the distribution (tests/windows64/ejecutar.sh)
#
# Where some packages could not be installed (a package index that failed to refresh, a
# package with no installable version), every step that has the packages it needs still runs,
# and the run ends with the list of what was skipped and why, and status 1: a run that
# skipped anything never passes.
set -euo pipefail
cd "$(dirname "$0")"

estado=0
.ci/instalar-paquetes.sh || estado=$?
# 3: some packages are not installed, named by the installation.
[ $estado -eq 0 ] || [ $estado -eq 3 ] || exit $estado
mapfile -t FALTAN < <(.ci/instalar-paquetes.sh --faltan)

# What the steps cannot do without: the native builds, the fuzzers, the Windows cross build,
# the Windows programs under Wine, and the virtual machine they run in where the kernel cannot
# run 32-bit code.
NATIVA=(cmake ninja-build g++ pkgconf libedit-dev libgtest-dev python3)
FUZZ=(clang-14 libclang-rt-14-dev)
MINGW=(g++-mingw-w64-i686)
WINE=(wine wine32:i386 fonts-wine xvfb xauth x11-apps imagemagick xdotool)
MAQUINA=(qemu-system-x86 cpio kmod rsync)
MINGW64=(g++-mingw-w64-x86-64)
WINE64=(wine64 fonts-wine xvfb xauth x11-apps imagemagick xdotool)

OMITIDO=()

# The packages among the arguments that are not installed, on one line.
sin() {
  local paquete falta lista=()
  for paquete in "$@"; do
    for falta in "${FALTAN[@]}"; do
      [ "$paquete" = "$falta" ] && lista+=("$paquete")
    done
  done
  echo "${lista[*]}"
}

# paso WHAT PACKAGE... -- COMMAND [ARGUMENT...]: the command, when every package is installed;
# otherwise WHAT goes into the list of what was skipped, with the packages it lacks.
paso() {
  local que=$1 paquetes=() faltan
  shift
  while [ "$1" != -- ]; do
    paquetes+=("$1")
    shift
  done
  shift
  faltan=$(sin "${paquetes[@]}")
  if [ -n "$faltan" ]; then
    OMITIDO+=("$que: $faltan not installed")
    return 0
  fi
  "$@"
}

construir_make() {
  cmake -S . -B build/make -G "Unix Makefiles" && cmake --build build/make --parallel 2
}

# The Windows build and the checks that need no Windows program always run with MinGW; the
# programs under Wine only with Wine, and here, where Wine cannot run 32-bit code, with what
# the virtual machine needs.
windows() {
  local faltan
  faltan=$(sin "${WINE[@]}")
  if [ -z "$faltan" ] && [ "$(.ci/windows32.sh --sonda)" != native ]; then
    faltan=$(sin "${MAQUINA[@]}")
  fi
  if [ -z "$faltan" ]; then
    tests/windows/ejecutar.sh
  else
    tests/windows/ejecutar.sh --sin-wine
    OMITIDO+=("the Windows programs under Wine (ctest --preset windows -L wine): $faltan not installed")
  fi
}

# The 64-bit Windows build always runs with its MinGW; its programs under wine64 where that is
# installed.
windows64() {
  local faltan
  faltan=$(sin "${WINE64[@]}")
  if [ -z "$faltan" ]; then
    tests/windows64/ejecutar.sh
  else
    tests/windows64/ejecutar.sh --sin-wine
    OMITIDO+=("the 64-bit Windows programs under wine64 (ctest --preset windows64 -L wine): $faltan not installed")
  fi
}

paso "the ci workflow" "${NATIVA[@]}" -- cmake --workflow --preset ci
paso "valgrind" "${NATIVA[@]}" valgrind -- tests/valgrind.sh build/ci
paso "the asan workflow" "${NATIVA[@]}" -- cmake --workflow --preset asan
paso "the tsan workflow" "${NATIVA[@]}" -- cmake --workflow --preset tsan
paso "the Unix Makefiles build" "${NATIVA[@]}" -- construir_make
paso "the fuzzers" "${NATIVA[@]}" "${FUZZ[@]}" -- tests/fuzz/ejecutar.sh 60
paso "the Windows build" "${MINGW[@]}" -- windows
paso "the 64-bit Windows build" "${MINGW64[@]}" -- windows64

# A package no step named leaves out the tests that need it where the build is configured
# (CMake's warnings name them).
NOMBRADOS=" ${NATIVA[*]} valgrind ${FUZZ[*]} ${MINGW[*]} ${WINE[*]} ${MAQUINA[*]} ${MINGW64[*]} ${WINE64[*]} "
for falta in "${FALTAN[@]}"; do
  [[ "$NOMBRADOS" == *" $falta "* ]] ||
    OMITIDO+=("what needs $falta (see the configure steps' warnings): $falta not installed")
done
if [ ${#OMITIDO[@]} -gt 0 ]; then
  echo
  echo "test.sh: skipped, so this run does not pass:"
  printf '  - %s\n' "${OMITIDO[@]}"
  echo "Install the packages named (.ci/instalar-paquetes.sh says why apt-get could not), or run"
  echo "the rest on a machine that has them (README: \"On a machine that lacks packages\")."
  exit 1
fi
