#!/bin/busybox sh
# The /init of windows32.sh's virtual machine. It mounts this machine's root (the 9p share
# "hostroot", read-only) under a tmpfs overlay as the guest's root, copies each working copy
# ("copia0"...) into memory at its own path, runs the command of the working folder
# ("trabajo"), copies back what changed, writes the command's status and powers off. Wine
# prefixes (folders named wineprefix*) neither go in nor come back: each is hundreds of
# megabytes that the guest would move through 9p at emulated speed, and the tests make
# theirs afresh from one model prefix.
/bin/busybox mkdir -p /proc /sys /dev /host /capa /nueva
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

apagar() {
  sync
  poweroff -f
}
falla() {
  echo "windows32-init: $*"
  apagar
}

for modulo in $(cat /modulos/orden); do
  insmod "/modulos/$modulo.ko" || falla "cannot load $modulo"
done
trabajo=$(sed -n 's/.*evalion\.trabajo=\([^ ]*\).*/\1/p' /proc/cmdline)
copias=$(sed -n 's/.*evalion\.copias=\([0-9]*\).*/\1/p' /proc/cmdline)
opciones=trans=virtio,version=9p2000.L,msize=262144

mount -t 9p -o "$opciones,ro,cache=loose" hostroot /host || falla "cannot mount the host's root"
mount -t tmpfs -o size=90% capa /capa && mkdir -p /capa/arriba /capa/obra || falla "no tmpfs"
mount -t overlay -o lowerdir=/host,upperdir=/capa/arriba,workdir=/capa/obra overlay /nueva ||
  falla "cannot lay the overlay"
for punto in proc sys dev dev/pts dev/shm tmp; do mkdir -p "/nueva/$punto"; done
mount -t proc proc /nueva/proc
mount -t sysfs sys /nueva/sys
mount -t devtmpfs dev /nueva/dev
mkdir -p /nueva/dev/pts /nueva/dev/shm
mount -t devpts devpts /nueva/dev/pts
mount -t tmpfs shm /nueva/dev/shm
# /tmp stays the host's seen through the overlay (a clone may live there), less the X
# displays' locks and Wine servers' sockets of this machine, which mean nothing in here.
rm -rf /nueva/tmp/.X*-lock /nueva/tmp/.X11-unix /nueva/tmp/.wine-* 2>/dev/null
mkdir -p "/nueva$trabajo"
mount -t 9p -o "$opciones" trabajo "/nueva$trabajo" || falla "cannot mount the working folder"

# Each working copy: its share at /mnt/copiaN of the new root, and a copy in memory (a
# tmpfs of its own, so nothing of the host's folder shows through) at the folder's path. Its
# tests make their Wine prefixes in it, some 600 MB each: the default half of the memory
# would run out, so it may take as much as the overlay.
n=0
while [ "$n" -lt "$copias" ]; do
  carpeta=$(sed -n "$((n + 1))p" "/nueva$trabajo/copias")
  mkdir -p "/nueva/mnt/copia$n" "/nueva$carpeta" &&
    mount -t 9p -o "$opciones" "copia$n" "/nueva/mnt/copia$n" || falla "cannot mount copia$n"
  mount -t tmpfs -o size=90% copia "/nueva$carpeta" &&
    chroot /nueva rsync -a --exclude='wineprefix*' "/mnt/copia$n/" "$carpeta/" ||
    falla "cannot copy $carpeta"
  n=$((n + 1))
done
echo "windows32-init: running the command"

chroot /nueva /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root LANG=C.UTF-8 \
  /bin/bash "$trabajo/orden.sh" >"/nueva$trabajo/salida.log" 2>&1 </dev/null
estado=$?

# What the command wrote comes back (files it removed stay on the host).
n=0
while [ "$n" -lt "$copias" ]; do
  carpeta=$(sed -n "$((n + 1))p" "/nueva$trabajo/copias")
  chroot /nueva rsync -a --exclude='wineprefix*' "$carpeta/" "/mnt/copia$n/" >>"/nueva$trabajo/salida.log" 2>&1 ||
    { echo "windows32-init: cannot copy $carpeta back" >>"/nueva$trabajo/salida.log"; estado=1; }
  n=$((n + 1))
done
echo "$estado" >"/nueva$trabajo/estado"
echo "windows32-init: the command ended with status $estado"
apagar
