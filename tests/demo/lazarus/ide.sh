#!/usr/bin/env bash
# The package Evalcomp in the Lazarus IDE, once, by hand (not part of ./test.sh: rebuilding
# the IDE takes two to three minutes on two cores): builds the IDE with the package
# (lazbuild --add-package --build-ide=) in a copy of Lazarus in the build tree, starts it on
# a virtual display, opens the palette page "Evalion", drops TEvalion on the new form,
# shows the Object Inspector's properties and events, and double-clicks OnPedirVariable so
# that the IDE writes a handler. The screenshots land in BUILD/ide:
#   ide-paleta.png   the page Evalion, Evalion1 on the form, SeparadorDecimal and SeparadorMillar
#   ide-eventos.png  the two events and the handler the IDE wrote for OnPedirVariable
#
#   tests/demo/lazarus/ide.sh [BUILD]     (default build/ci, where the target
#                                          evalcomp_lazarus has built the package)
#
# Needs the IDE's packages: apt-get install --no-install-recommends lazarus-ide-2.2
# lazarus-ide-gtk2-2.2. The clicks are at the places Lazarus 2.2.6 (gtk2, 1280x1024, no
# window manager) puts its windows; look at the pictures.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$raiz/build/ci}" && pwd)
paquete=$build/bindings/pascal/lazarus/Evalcomp/Evalcomp.lpk
original=/usr/lib/lazarus/2.2.6
for necesario in "$paquete" "$original/lazarus-gtk2" /usr/bin/lazbuild /usr/bin/Xvfb /usr/bin/xdotool /usr/bin/import; do
  if [ ! -e "$necesario" ]; then
    echo "ide.sh: $necesario is missing (the target evalcomp_lazarus; packages lazarus-ide-gtk2-2.2 xvfb xdotool imagemagick)" >&2
    exit 1
  fi
done

ide=$build/ide
mkdir -p "$ide"
cd "$ide"
# The IDE is rebuilt when the package is newer than it; otherwise the last one serves.
if [ ! -x lazarus/lazarus ] || [ "$paquete" -nt lazarus/lazarus ]; then
  rm -rf lazarus config
  # A copy, so that the rebuilt IDE replaces nothing of the system's; its "lazarus" is a
  # link to the system's alternative, which the build must not write through.
  cp -a "$original" lazarus
  rm -f lazarus/lazarus
  inicio=$SECONDS
  lazbuild --pcp="$ide/config" --lazarusdir="$ide/lazarus" --add-package "$paquete" --build-ide= > construccion.log 2>&1 ||
    { tail -30 construccion.log >&2; exit 1; }
  echo "ide.sh: the IDE with Evalcomp built in $((SECONDS - inicio)) s"
fi
rm -f ide-paleta.png ide-eventos.png

pantalla=:$((70 + RANDOM % 20))
Xvfb "$pantalla" -screen 0 1280x1024x24 > xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=$pantalla
sleep 2
./lazarus/lazarus --pcp="$ide/config" --lazarusdir="$ide/lazarus" --disableaccurateframe > ide.log 2>&1 &
lazarus=$!
terminar() { kill "$lazarus" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap terminar EXIT

clic() { xdotool mousemove "$1" "$2" click --repeat "${3:-1}" 1; sleep "${4:-3}"; }
# Lazarus may first ask to convert the configuration folder lazbuild wrote (Downgrade), and
# then shows its set-up dialog on every start (Debian's Fppkg check fails): Start IDE.
ventana() { xdotool search --name "$1" 2>/dev/null | head -1; }
for _ in $(seq 120); do
  if [ -n "$(ventana 'Downgrade configuration')" ]; then
    sleep 2
    clic 458 255 1 5
  elif [ -n "$(ventana 'Welcome to Lazarus IDE|Configure Lazarus IDE')" ]; then
    sleep 3
    clic 900 687 1 25
    break
  fi
  sleep 1
done
clic 1029 42            # the palette page Evalion
clic 293 70 1 2         # its one component, TEvalion
clic 330 200            # dropped on the form
xdotool key F11         # the Object Inspector
sleep 4
import -window root ide-paleta.png
clic 178 332            # Events
clic 167 385 2 4        # OnPedirVariable: a new handler
import -window root ide-eventos.png
echo "ide.sh: $ide/ide-paleta.png $ide/ide-eventos.png"
