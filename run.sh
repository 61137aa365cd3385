#!/usr/bin/env bash
# Builds Evalion (the release preset) and runs the main job: with expressions as arguments,
# the evalion command on them; with none, the demonstration program Evaldemo when there is
# a display, and otherwise the evalion command on standard input (an interactive session on
# a terminal; without one it reads expressions, one a line, until the end of the input).
#
# Standard output carries only what the program prints, so that `./run.sh '2^10' > file`
# holds the results: the installation and the build report on standard error, and a build
# that is already configured and up to date says no more than ninja's "no work to do".
set -euo pipefail
cd "$(dirname "$0")"

.ci/instalar-paquetes.sh >&2
if [ ! -f build/release/CMakeCache.txt ]; then
  cmake --preset release >&2
fi
# Ninja reconfigures by itself when a CMakeLists.txt changed; --quiet drops its progress lines.
cmake --build --preset release -- --quiet >&2

EVALION=build/release/tools/evalion
EVALDEMO=build/release/demo/Evaldemo
if [ $# -gt 0 ]; then
  exec "$EVALION" "$@" </dev/null
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$EVALDEMO"
fi
echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are not set), so evalion instead of Evaldemo;" \
  "type expressions, one a line, and end with Ctrl-D" >&2
exec "$EVALION"
