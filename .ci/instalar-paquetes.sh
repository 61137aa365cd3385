#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building and testing Evalion need, and
# generates the locales the tests use. Does nothing when everything is there; otherwise
# refreshes the package lists first.
#
#   .ci/instalar-paquetes.sh             everything: the tests, the Windows build, the manual
#   .ci/instalar-paquetes.sh principal   only what ./run.sh builds: the evalion command, and
#                                        Qt for Evaldemo when there is a display; no locales
#   .ci/instalar-paquetes.sh --faltan [principal]
#                                        installs nothing: prints the packages of that set
#                                        that are not installed, one a line
#
# A mirror can fail on one package index (seen: the i386 security index) while the others are
# fine, so a failed refresh does not stop the installation, and when the packages cannot be
# installed together (apt-get installs all of a request or nothing) each is installed on its
# own: one that cannot be installed keeps no other out. The exit status is 0 when everything
# is installed, 3 when some packages are not (they are named on standard error, and
# ./test.sh then runs what it can without them), anything else on another failure.
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
# dask's process scheduler; python3-numexpr: the peer of bench/columnas.py, which leaves its
# columns out without it); lcl-2.2 and lazarus-src-2.2: lazbuild and the LCL, for the
# Lazarus package and the LCL Evaldemo (the sources give the LCL for 32-bit and 64-bit Windows);
# locales: the locales below; g++-mingw-w64-x86-64 and wine64: the 64-bit Windows build and
# its programs, which wine64 runs on any x86-64 kernel (no i386 package).
RESTO=(libgtest-dev libbenchmark-dev libmuparser-dev clang-14
  libclang-rt-14-dev valgrind g++-mingw-w64-i686 fonts-wine man-db pandoc
  wine wine32:i386 xvfb xauth x11-apps imagemagick xdotool qemu-system-x86 cpio kmod rsync
  fp-compiler-3.2.2 fp-utils-3.2.2 fpc-source-3.2.2 python3 python3-pip python3-venv
  python3-numpy python3-pandas python3-dask python3-numexpr lcl-2.2 lazarus-src-2.2 locales
  g++-mingw-w64-x86-64 wine64)

# The status that says: everything else went, these packages are not installed.
NO_INSTALADOS=3

SOLO_FALTAN=0
if [ "${1:-}" = --faltan ]; then
  SOLO_FALTAN=1
  shift
fi
PRINCIPAL=0
case "${1:-}" in
  "") ;;
  principal) PRINCIPAL=1 ;;
  *) echo "usage: $0 [--faltan] [principal]" >&2; exit 2 ;;
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

# The packages of the set that are not installed, one a line.
faltan() {
  local paquete
  local -A hay=()
  while read -r paquete; do
    hay[$paquete]=1
  done < <(instalados)
  for paquete in "${PAQUETES[@]}"; do
    [ -n "${hay[$paquete]:-}" ] || echo "$paquete"
  done
}

apt_get() {
  como_root env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

# Returns 0 when every package is installed, NO_INSTALADOS when some could not be.
instalar_paquetes() {
  local paquete
  local -a faltan_antes quedan
  mapfile -t faltan_antes < <(faltan)
  [ ${#faltan_antes[@]} -eq 0 ] && return 0

  echo "Installing: ${faltan_antes[*]}"
  # wine32 is an i386 package: the architecture must be known before the lists are read.
  if [[ " ${faltan_antes[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    como_root dpkg --add-architecture i386
  fi
  # The lists that did refresh are used, and the older ones of the index that did not.
  apt_get update || echo "apt-get update failed: installing from the package lists there are" >&2
  if ! apt_get install -y --no-install-recommends "${faltan_antes[@]}"; then
    echo "Installing them together failed: one at a time" >&2
    for paquete in "${faltan_antes[@]}"; do
      apt_get install -y --no-install-recommends "$paquete" || true
    done
  fi
  mapfile -t quedan < <(faltan)
  if [ ${#quedan[@]} -gt 0 ]; then
    echo "Not installed: ${quedan[*]}" >&2
    return $NO_INSTALADOS
  fi
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

if [ $SOLO_FALTAN -eq 1 ]; then
  faltan
  exit 0
fi
estado=0
instalar_paquetes || estado=$?
[ $estado -eq 0 ] || [ $estado -eq $NO_INSTALADOS ] || exit $estado
# Without the package locales there is no locale-gen: its absence is reported above.
if [ $PRINCIPAL -eq 0 ] && [ -z "$(faltan | sed -n '/^locales$/p')" ]; then
  generar_locales
fi
exit $estado
