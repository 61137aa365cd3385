#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building and testing Evalion need, and
# generates the locales the tests use. Does nothing when everything is there; otherwise
# refreshes the package lists first.
#
#   .ci/instalar-paquetes.sh             everything: the tests, the Windows build, the manual
#   .ci/instalar-paquetes.sh principal   only what ./run.sh builds: the evalion command, and
#                                        Qt for Evaldemo when there is a display; no locales
set -euo pipefail

# The main job: a compiler, CMake with Ninja, and libedit (line editing in the interactive
# evalion), which pkg-config finds.
PRINCIPALES=(cmake ninja-build g++ pkgconf libedit-dev)
# Evaldemo, which ./run.sh starts only when there is a display.
PANTALLA=(qt6-base-dev)

# The rest, for ./test.sh and CI:
# fonts-wine: the MS Sans Serif that Evaldemo was laid out with; wine and wine32:i386: the
# 32-bit Windows programs, on machines that execute 32-bit code; xvfb and friends: the
# Windows window driven without a display (xvfb-run needs xauth, which xvfb only recommends);
# man-db: man, which the tests render the manual pages with; pandoc: the manual pages of the
# C interface and the language, made from the manual's Markdown; fp-*: Free Pascal, and the
# sources its 32-bit Windows cross compiler is built from; qemu-system-x86, cpio, kmod and
# rsync: the virtual machine that runs the Windows programs where the kernel cannot run
# 32-bit code (.ci/windows32.sh downloads its kernel and busybox-static with apt-get
# download, into the build tree); python3-*: the Python binding, installed by pip offline
# (python3-venv: the manual's example installs it into a virtual environment; python3-numpy,
# -pandas and -dask: column evaluation returns numpy arrays, and a test ships a formula to
# dask's process scheduler); lcl-2.2 and lazarus-src-2.2: lazbuild and the LCL, for the
# Lazarus package and the LCL Evaldemo (the sources give the LCL for 32-bit Windows);
# locales: the locales below.
RESTO=(libgtest-dev libbenchmark-dev libmuparser-dev clang-14
  libclang-rt-14-dev valgrind g++-mingw-w64-i686 fonts-wine man-db pandoc
  wine wine32:i386 xvfb xauth x11-apps imagemagick xdotool qemu-system-x86 cpio kmod rsync
  fp-compiler-3.2.2 fp-utils-3.2.2 fpc-source-3.2.2 python3 python3-pip python3-venv
  python3-numpy python3-pandas python3-dask lcl-2.2 lazarus-src-2.2 locales)

PRINCIPAL=0
case "${1:-}" in
  "") ;;
  principal) PRINCIPAL=1 ;;
  *) echo "usage: $0 [principal]" >&2; exit 2 ;;
esac
if [ $PRINCIPAL -eq 1 ]; then
  PAQUETES=("${PRINCIPALES[@]}")
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    PAQUETES+=("${PANTALLA[@]}")
  fi
else
  PAQUETES=("${PRINCIPALES[@]}" "${PANTALLA[@]}" "${RESTO[@]}")
fi

# Two locales with a decimal comma: the engine must read numbers the same under them, and
# Evaldemo shows numbers as the system's locale writes them.
LOCALES=(es_ES.UTF-8 de_DE.UTF-8)

# The installed packages, as "name" and "name:architecture", from one query for all of them
# (one dpkg-query each would take a second): a package named without an architecture is the
# machine's own or an "all" one.
instalados() {
  local nativa estado nombre arquitectura
  nativa=$(dpkg --print-architecture)
  dpkg-query -W -f='${Status}\t${Package}\t${Architecture}\n' "${PAQUETES[@]}" 2>/dev/null |
    while IFS=$'\t' read -r estado nombre arquitectura; do
      [ "$estado" = "install ok installed" ] || continue
      echo "$nombre:$arquitectura"
      if [ "$arquitectura" = "$nativa" ] || [ "$arquitectura" = all ]; then
        echo "$nombre"
      fi
    done
}

como_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

instalar_paquetes() {
  local faltan=() paquete
  local -A hay=()
  while read -r paquete; do
    hay[$paquete]=1
  done < <(instalados)
  for paquete in "${PAQUETES[@]}"; do
    [ -n "${hay[$paquete]:-}" ] || faltan+=("$paquete")
  done
  [ ${#faltan[@]} -eq 0 ] && return 0

  echo "Installing: ${faltan[*]}"
  # wine32 is an i386 package: the architecture must be known before the lists are read.
  if [[ " ${faltan[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    como_root dpkg --add-architecture i386
  fi
  como_root env DEBIAN_FRONTEND=noninteractive apt-get update
  como_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${faltan[@]}"
}

# Enables each missing locale in /etc/locale.gen (where Debian lists them commented out)
# and runs locale-gen once; locale -a names them in lower case, "es_ES.utf8".
generar_locales() {
  local faltan=() nombre
  for nombre in "${LOCALES[@]}"; do
    locale -a 2>/dev/null | grep -qix "${nombre%.UTF-8}.utf8" || faltan+=("$nombre")
  done
  [ ${#faltan[@]} -eq 0 ] && return 0

  echo "Generating locales: ${faltan[*]}"
  for nombre in "${faltan[@]}"; do
    if grep -q "^# *$nombre UTF-8" /etc/locale.gen; then
      como_root sed -i "s/^# *\($nombre UTF-8\)/\1/" /etc/locale.gen
    elif ! grep -q "^$nombre UTF-8" /etc/locale.gen; then
      echo "$nombre UTF-8" | como_root tee -a /etc/locale.gen >/dev/null
    fi
  done
  como_root locale-gen
}

instalar_paquetes
if [ $PRINCIPAL -eq 0 ]; then
  generar_locales
fi
