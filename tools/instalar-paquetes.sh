#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building and testing Evalion need.
# Does nothing when they are all there; otherwise refreshes the package lists first.
set -euo pipefail

# libedit-dev: line editing in the interactive evalion; fonts-wine: the MS Sans Serif that
# Evaldemo was laid out with; wine and wine32:i386: the 32-bit Windows programs, on machines
# that execute 32-bit code; xvfb and friends: the Windows window driven without a display
# (xvfb-run needs xauth, which xvfb only recommends);
# man-db: man, which the tests render the manual pages with; fp-*: Free Pascal, and the
# sources its 32-bit Windows cross compiler is built from; python3-*: the Python binding,
# installed by pip offline with Debian's build tools.
PAQUETES=(cmake ninja-build g++ pkgconf libgtest-dev libbenchmark-dev libmuparser-dev clang-14
  libclang-rt-14-dev valgrind qt6-base-dev g++-mingw-w64-i686 libedit-dev fonts-wine man-db
  wine wine32:i386 xvfb xauth x11-apps imagemagick xdotool
  fp-compiler-3.2.2 fp-utils-3.2.2 fpc-source-3.2.2 python3 python3-setuptools python3-wheel python3-pip)

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
# wine32 is an i386 package: the architecture must be known before the lists are read.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  como_root dpkg --add-architecture i386
fi
como_root env DEBIAN_FRONTEND=noninteractive apt-get update
como_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${faltan[@]}"
