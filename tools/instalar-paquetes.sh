#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building and testing Evalion need.
# Does nothing when they are all there; otherwise refreshes the package lists first.
set -euo pipefail

# libedit-dev: line editing in the interactive evalion; fonts-wine: the MS Sans Serif that
# Evaldemo was laid out with; qt6-wayland: Evaldemo on a Wayland display without X.
PAQUETES=(cmake ninja-build g++ pkgconf libgtest-dev libbenchmark-dev libmuparser-dev clang-14 libclang-rt-14-dev valgrind qt6-base-dev g++-mingw-w64-i686 libedit-dev fonts-wine)

instalado() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

como_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

faltan=()
for paquete in "${PAQUETES[@]}"; do
  instalado "$paquete" || faltan+=("$paquete")
done
if [ ${#faltan[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${faltan[*]}"
como_root env DEBIAN_FRONTEND=noninteractive apt-get update
como_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${faltan[@]}"
