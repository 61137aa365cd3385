#!/usr/bin/env bash
# Builds what the main job runs and runs it: with expressions as arguments, the evalion
# command on them; with none, the demonstration program Evaldemo when there is a display, and
# otherwise the evalion command on standard input (an interactive session on a terminal;
# without one it reads expressions, one a line, until the end of the input).
#
# Only the main job's packages are installed (a compiler, CMake, Ninja, libedit, and Qt when
# there is a display) and only its programs are built, in build/run (the preset "run": no
# tests, no benchmarks), with the plain library beside them, which the Python example loads.
# ./test.sh installs and builds everything else.
#
# Standard output carries only what the program prints, so that `./run.sh '2^10' > file`
# holds the results: the installation and the build report on standard error, and a build
# that is already configured and up to date says no more than ninja's "no work to do".
set -euo pipefail
cd "$(dirname "$0")"

# Status 3: some packages could not be installed (named above); the build says what it lacks,
# and without Qt evalion stands in for Evaldemo.
.ci/instalar-paquetes.sh principal >&2 || [ $? -eq 3 ]
CONSTRUCCION=build/run
if [ ! -f $CONSTRUCCION/CMakeCache.txt ]; then
  cmake --preset run >&2
fi

PANTALLA=${DISPLAY:-}${WAYLAND_DISPLAY:-}
OBJETIVOS=(evalion_cli evalion)
if [ $# -eq 0 ] && [ -n "$PANTALLA" ]; then
  # A build configured before Qt was installed has no Evaldemo yet; configuring again looks
  # for Qt anew.
  tiene_evaldemo() { cmake --build $CONSTRUCCION --target help | grep -q '^evaldemo:'; }
  tiene_evaldemo || cmake --preset run >&2
  if tiene_evaldemo; then
    OBJETIVOS+=(evaldemo)
  else
    echo "run.sh: Qt 6 Widgets not found, so evalion instead of Evaldemo" >&2
    PANTALLA=
  fi
fi
# Ninja reconfigures by itself when a CMakeLists.txt changed; --quiet drops its progress lines.
cmake --build $CONSTRUCCION --parallel 2 --target "${OBJETIVOS[@]}" -- --quiet >&2

EVALION=$CONSTRUCCION/tools/evalion
EVALDEMO=$CONSTRUCCION/demo/Evaldemo
if [ $# -gt 0 ]; then
  exec "$EVALION" "$@" </dev/null
fi
if [ -n "$PANTALLA" ]; then
  exec "$EVALDEMO"
fi
echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are not set), so evalion instead of Evaldemo;" \
  "type expressions, one a line, and end with Ctrl-D" >&2
exec "$EVALION"
