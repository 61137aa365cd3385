#!/usr/bin/env bash
# Runs 32-bit Windows programs on Linux: directly under Wine where this machine's kernel
# executes 32-bit x86 code, and otherwise inside a QEMU virtual machine that boots Debian's
# own kernel (which does) over this machine's root, shared read-only under a tmpfs overlay.
#
#   windows32.sh PROGRAM.exe [ARGUMENT...]
#       one program, with its folder as its working copy (in the virtual machine the Wine
#       prefix beside it is made afresh); there it has a virtual display, and --captura
#       FILE.png before PROGRAM.exe saves a picture of that display after EVALION_CAPTURA
#       seconds (default 5, scaled) and ends the program there
#   windows32.sh --orden [--carpeta DIR]... COMMAND [ARGUMENT...]
#       any command (ctest, a script) with every DIR as a working copy: inside the virtual
#       machine each DIR is copied into the guest's memory, used at its own path, and what
#       the command changed in it is copied back when it ends, its Wine prefixes (wineprefix*)
#       excepted both ways; natively the command simply runs
#   windows32.sh --sonda | --escala
#       prints how Windows programs run here ("native" or "virtual machine"), or the factor
#       of their time bounds, and exits 0
#
# The exit status is the program's or the command's; a virtual machine that cannot be made,
# does not start, hangs or crashes is a failure (status 1 or more) with its reason and the
# tail of the guest's console.
#
# Environment:
#   EVALION_MAQUINA32=1        use the virtual machine even where the kernel runs 32-bit code
#   EVALION_MAQUINA32_DIR      where the kernel, the modules and the initramfs are unpacked
#                              (default build/maquina32 of this repository)
#   EVALION_ESCALA_TIEMPO      the factor every time bound of the Windows tests is multiplied
#                              by (default 1 natively, 10 in the virtual machine, which
#                              emulates the processor: QEMU in TCG mode, no KVM)
#   EVALION_MAQUINA32_MEMORIA  the guest's memory (default 8G)
set -uo pipefail

raiz=$(cd "$(dirname "$0")/.." && pwd)
wine32=$raiz/cmake/wine32.sh
maquina=${EVALION_MAQUINA32_DIR:-$raiz/build/maquina32}

uso() {
  echo "usage: windows32.sh [--captura FILE.png] PROGRAM.exe [ARGUMENT...]" >&2
  echo "       windows32.sh --orden [--carpeta DIR]... COMMAND [ARGUMENT...] | --sonda" >&2
  exit 2
}

falla() {
  echo "windows32.sh: $*" >&2
  exit 1
}

# Decided once: whether Wine runs here, and so the factor of every time bound.
nativo=false
if [ "${EVALION_MAQUINA32:-0}" != 1 ] && "$wine32" --sonda >/dev/null 2>&1; then
  nativo=true
fi
if $nativo; then
  escala=${EVALION_ESCALA_TIEMPO:-1}
else
  escala=${EVALION_ESCALA_TIEMPO:-10}
fi

# The kernel package that linux-image-amd64 names, and busybox-static for the initramfs,
# downloaded (never installed) and unpacked into $maquina once; depmod is run there since
# modules.dep is made at install time. The modules are those the guest needs to mount the
# host's root over virtio 9p and lay an overlay on it, loaded in this order.
MODULOS=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci 9pnet 9pnet_virtio
  netfs fscache 9p overlay)
preparar() {
  if [ ! -f "$maquina/vmlinuz" ] || [ ! -f "$maquina/initramfs/modulos/orden" ]; then
    descargar
  fi
  # The initramfs is made again whenever its /init changed.
  if [ ! -f "$maquina/initrd.gz" ] || [ "$raiz/.ci/windows32-init.sh" -nt "$maquina/initrd.gz" ]; then
    cp "$raiz/.ci/windows32-init.sh" "$maquina/initramfs/init" && chmod +x "$maquina/initramfs/init" &&
      (cd "$maquina/initramfs" && find . | cpio -o -H newc 2>/dev/null | gzip -1) >"$maquina/initrd.gz.nuevo" &&
      mv "$maquina/initrd.gz.nuevo" "$maquina/initrd.gz" || falla "cannot make the initramfs"
  fi
}

descargar() {
  for orden in qemu-system-x86_64 cpio /usr/sbin/depmod dpkg-deb apt-get; do
    command -v "$orden" >/dev/null || falla "$orden is missing (packages qemu-system-x86, cpio, kmod)"
  done
  local nucleo
  nucleo=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: \(linux-image-[0-9].*\)/\1/p' | head -n 1)
  [ -n "$nucleo" ] || falla "apt-cache names no kernel for linux-image-amd64 (run apt-get update)"
  rm -rf "$maquina" && mkdir -p "$maquina/paquetes" "$maquina/raiz" "$maquina/initramfs/bin" \
    "$maquina/initramfs/modulos" || falla "cannot make $maquina"
  (cd "$maquina/paquetes" && apt-get download "$nucleo" busybox-static >"$maquina/descarga.log" 2>&1) ||
    falla "apt-get download $nucleo busybox-static failed: $(tail -n 3 "$maquina/descarga.log")"
  for paquete in "$maquina"/paquetes/*.deb; do
    dpkg-deb -x "$paquete" "$maquina/raiz" || falla "cannot unpack $paquete"
  done
  local version
  version=$(ls "$maquina/raiz/lib/modules")
  /usr/sbin/depmod -b "$maquina/raiz" "$version" || falla "depmod failed for $version"
  cp "$maquina/raiz/boot/vmlinuz-$version" "$maquina/vmlinuz" || falla "no kernel image in $nucleo"
  cp "$maquina/raiz/bin/busybox" "$maquina/initramfs/bin/busybox" || falla "no busybox in busybox-static"
  local modulo ruta
  for modulo in "${MODULOS[@]}"; do
    ruta=$(find "$maquina/raiz/lib/modules/$version" -name "$modulo.ko" | head -n 1)
    [ -n "$ruta" ] || falla "module $modulo.ko not found in $nucleo"
    cp "$ruta" "$maquina/initramfs/modulos/"
  done
  printf '%s\n' "${MODULOS[@]}" >"$maquina/initramfs/modulos/orden"
  rm -rf "$maquina/paquetes" "$maquina/raiz" "$maquina/initrd.gz"
}

# Boots the guest on the script $trabajo/orden.sh and passes its exit status on. Each
# working copy is a read-write 9p share that the guest copies into its memory (programs
# that Wine maps straight from a 9p share can come up with pages of zeros) and back.
arrancar() {
  local trabajo=$1
  shift
  local compartidas=() parametros="" n=0 carpeta
  for carpeta in "$@"; do
    compartidas+=(-virtfs "local,path=$carpeta,mount_tag=copia$n,security_model=passthrough,multidevs=remap")
    n=$((n + 1))
  done
  # The whole run, boot to power-off: an hour at the guest's factor of 10, never under 10 min.
  local limite=$((360 * escala))
  [ $limite -ge 600 ] || limite=600
  timeout -k 10 "$limite" qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap,-smep \
    -smp "$(nproc)" -m "${EVALION_MAQUINA32_MEMORIA:-8G}" -nographic -no-reboot -nic none \
    -kernel "$maquina/vmlinuz" -initrd "$maquina/initrd.gz" \
    -append "console=ttyS0 quiet panic=-1 evalion.trabajo=$trabajo evalion.copias=$n" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=passthrough,readonly=on,multidevs=remap \
    -virtfs "local,path=$trabajo,mount_tag=trabajo,security_model=passthrough,multidevs=remap" \
    "${compartidas[@]}" </dev/null >"$trabajo/consola.log" 2>&1
  local qemu=$?
  if [ ! -f "$trabajo/estado" ]; then
    if [ $qemu -eq 124 ]; then
      echo "windows32.sh: the virtual machine did not finish within $limite s" >&2
    else
      echo "windows32.sh: the virtual machine stopped (QEMU status $qemu) before the command ended" >&2
    fi
    echo "--- the last lines of its console ($trabajo/consola.log):" >&2
    tail -n 40 "$trabajo/consola.log" | tr -d '\r' | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' >&2
    return 1
  fi
  return "$(cat "$trabajo/estado")"
}

# Runs COMMAND in the guest with the DIRs as working copies; its output comes back through
# files, since Wine writes terminal codes onto the guest's console.
en_maquina() {
  local carpetas=()
  while [ "${1:-}" = "--carpeta" ]; do
    [ $# -ge 2 ] || uso
    [ -d "$2" ] || falla "no folder $2"
    carpetas+=("$(cd "$2" && pwd)")
    shift 2
  done
  [ $# -ge 1 ] || uso
  preparar
  mkdir -p "$maquina" || falla "cannot make $maquina"
  local trabajo
  trabajo=$(mktemp -d "$maquina/trabajo.XXXXXX") || falla "cannot make a working folder in $maquina"
  {
    echo "cd $(printf %q "$PWD") || exit 1"
    echo "export EVALION_ESCALA_TIEMPO=$escala"
    for variable in CI EVALION_WINE_TIEMPO EVALION_CAPTURA WINEDEBUG; do
      [ -n "${!variable:-}" ] && echo "export $variable=$(printf %q "${!variable}")"
    done
    printf '%q ' "$@"
    echo
  } >"$trabajo/orden.sh"
  printf '%s\n' "${carpetas[@]}" >"$trabajo/copias"
  arrancar "$trabajo" "${carpetas[@]}"
  local estado=$?
  [ -f "$trabajo/salida.log" ] && cat "$trabajo/salida.log"
  [ $estado -eq 0 ] && rm -rf "$trabajo"
  return $estado
}

case "${1:-}" in
  --sonda)
    if $nativo; then echo "native"; else echo "virtual machine"; fi
    exit 0 ;;
  --escala)
    echo "$escala"
    exit 0 ;;
  --orden)
    shift
    if $nativo; then
      while [ "${1:-}" = "--carpeta" ]; do shift 2; done
      [ $# -ge 1 ] || uso
      exec "$@"
    fi
    en_maquina "$@"
    exit $? ;;
  "" | -*)
    [ "${1:-}" = "--captura" ] && [ $# -ge 3 ] || uso ;;
esac

captura=""
if [ "$1" = "--captura" ]; then
  captura=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") || falla "no folder for $2"
  shift 2
fi
programa=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") || falla "no program $1"
[ -f "$programa" ] || falla "no program $1"
shift
if $nativo && [ -z "$captura" ]; then
  # A person's program runs as long as it likes: no bound unless one is asked for.
  EVALION_WINE_TIEMPO=${EVALION_WINE_TIEMPO:-0} exec "$wine32" "$programa" "$@"
fi
carpeta=$(dirname "$programa")
if [ -n "$captura" ]; then
  orden=(bash "$raiz/.ci/windows32-captura.sh" "$captura" "$wine32" "$programa" "$@")
  if $nativo; then
    EVALION_ESCALA_TIEMPO=$escala exec "${orden[@]}"
  fi
  en_maquina --carpeta "$carpeta" --carpeta "$(dirname "$captura")" "${orden[@]}"
else
  en_maquina --carpeta "$carpeta" xvfb-run -a -s "-screen 0 1024x768x24" "$wine32" "$programa" "$@"
fi
