#!/bin/bash
# .ci/instalar-paquetes.sh against a stand-in apt-get whose package index refresh fails, as a
# mirror's i386 security index did: the installation goes on, installs every package that
# can be installed, and names the rest with status 3.
#   Instalar.sh INSTALAR_PAQUETES_SH
set -eu
INSTALADOR=$1
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
mkdir "$T/bin"

# Stand-ins. $T/faltan holds the packages not installed, $T/imposibles those apt-get cannot
# install (it then installs nothing of the request, as apt-get does), $T/llamadas what apt-get
# was asked.
cat > "$T/bin/apt-get" <<'FIN'
#!/bin/bash
echo "$*" >> "$T/llamadas"
[ "$1" = update ] && { echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size" >&2; exit 100; }
shift
paquetes=()
for p in "$@"; do
  case "$p" in -*) ;; *) paquetes+=("$p") ;; esac
done
for p in "${paquetes[@]}"; do
  grep -qxF "$p" "$T/imposibles" && { echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100; }
done
for p in "${paquetes[@]}"; do
  grep -vxF "$p" "$T/faltan" > "$T/resto" || true
  mv "$T/resto" "$T/faltan"
done
FIN
cat > "$T/bin/dpkg-query" <<'FIN'
#!/bin/bash
shift 2
for p in "$@"; do
  grep -qxF "$p" "$T/faltan" && continue
  a=amd64; [ "$p" != "${p%:*}" ] && a=${p#*:}
  printf 'install ok installed\t%s\t%s\n' "${p%%:*}" "$a"
done
FIN
cat > "$T/bin/dpkg" <<'FIN'
#!/bin/sh
case "$1" in --print-architecture) echo amd64 ;; --print-foreign-architectures) echo i386 ;; esac
FIN
printf '#!/bin/sh\nprintf "es_ES.utf8\\nde_DE.utf8\\n"\n' > "$T/bin/locale"
printf '#!/bin/sh\nexec "$@"\n' > "$T/bin/sudo"
chmod +x "$T"/bin/*
export T PATH="$T/bin:$PATH"

fallos=0
# Not installed | cannot be installed | arguments | status | not installed after | apt-get calls
while IFS='|' read -r faltan imposibles argumentos estado quedan llamadas; do
  printf '%s\n' $faltan > "$T/faltan"
  printf '%s\n' $imposibles > "$T/imposibles"
  : > "$T/llamadas"
  obtenido=0
  bash "$INSTALADOR" $argumentos > "$T/salida" 2>&1 || obtenido=$?
  resto=$(bash "$INSTALADOR" --faltan $argumentos | tr '\n' ' ')
  hechas=$(wc -l < "$T/llamadas")
  if [ "$obtenido" != "$estado" ] || [ "$resto" != "$quedan" ] || [ "$hechas" != "$llamadas" ]; then
    echo "FAIL [$faltan | $imposibles | $argumentos]: status $obtenido (expected $estado)," \
      "not installed '$resto' (expected '$quedan'), $hechas apt-get calls (expected $llamadas)"
    sed 's/^/  /' "$T/salida"
    fallos=$((fallos + 1))
  elif [ -n "$quedan" ] && ! grep -qxF "Not installed: ${quedan% }" "$T/salida"; then
    echo "FAIL [$faltan]: no 'Not installed' line naming $quedan"
    fallos=$((fallos + 1))
  fi
done <<'TABLA'
fonts-wine xdotool|||0||2
fonts-wine xdotool||principal|0||0
wine32:i386 fonts-wine xdotool|wine32:i386||3|wine32:i386 |5
cmake|cmake|principal|3|cmake |3
TABLA
[ $fallos -eq 0 ] || exit 1
echo "4 cases"
