#!/usr/bin/env bash
# The virtual machine of .ci/windows32.sh, forced where it is not needed: a command's
# status, output and written files come back; a machine that cannot boot is a failure that
# says why, never a success.
#
#   maquina32.sh WINDOWS32.SH
set -uo pipefail
windows32=$1
trabajo=$(mktemp -d "${TMPDIR:-/tmp}/evalion-maquina32.XXXXXX")
trap 'rm -rf "$trabajo"' EXIT
fallos=0
fallo() {
  echo "FAILED: $*"
  fallos=$((fallos + 1))
}

salida=$(EVALION_MAQUINA32=1 "$windows32" --orden --carpeta "$trabajo" \
  bash -c 'uname -r; echo escrito > "$1/archivo"; exit 3' orden "$trabajo" 2>&1)
estado=$?
[ $estado -eq 3 ] || fallo "the command's status 3 came back as $estado: $salida"
[ "$(cat "$trabajo/archivo" 2>/dev/null)" = escrito ] || fallo "a file the command wrote did not come back"
[ "$(head -n 1 <<<"$salida")" != "$(uname -r)" ] || fallo "the command ran on this machine's kernel, not the guest's"

# A kernel that cannot boot: the status says failure and the message says what stopped.
maquina=${EVALION_MAQUINA32_DIR:-$(dirname "$windows32")/../build/maquina32}
mkdir -p "$trabajo/rota/initramfs/modulos" && cp "$maquina/initramfs/modulos/orden" "$trabajo/rota/initramfs/modulos/" &&
  cp "$maquina/initrd.gz" "$trabajo/rota/" && echo "no kernel" >"$trabajo/rota/vmlinuz"
salida=$(EVALION_MAQUINA32=1 EVALION_MAQUINA32_DIR="$trabajo/rota" "$windows32" --orden true 2>&1)
estado=$?
[ $estado -ne 0 ] || fallo "a machine that cannot boot reported success"
grep -q "virtual machine stopped" <<<"$salida" || fallo "no reason for a machine that cannot boot: $salida"

echo "virtual machine checks: $fallos failed"
[ $fallos -eq 0 ]
