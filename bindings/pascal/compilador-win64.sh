#!/usr/bin/env bash
# Builds the Free Pascal run-time library for 64-bit Windows (x86_64-win64) from Debian's own
# packages (fp-compiler-3.2.2, fp-utils-3.2.2, fpc-source-3.2.2): Debian's native x86-64
# compiler, ppcx64, already targets win64 (-Twin64) and needs only these units; its internal
# assembler and linker need no binutils. Nothing outside DESTINO is written. About 15 seconds
# on two cores.
#
#   compilador-win64.sh DESTINO
#
# leaves DESTINO/units/x86_64-win64/rtl/ and DESTINO/bin/ppcx64-win64, a script that runs
# Debian's ppcx64 for win64 with those units and no other configuration:
#   DESTINO/bin/ppcx64-win64 programa.pas      (a 64-bit Windows program.exe)
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: compilador-win64.sh DESTINO" >&2; exit 2; }

version=3.2.2
fuentes=/usr/share/fpcsrc/$version
for necesario in "$fuentes/rtl" /usr/bin/ppcx64 /usr/bin/fpcmake; do
  if [ ! -e "$necesario" ]; then
    echo "compilador-win64.sh: $necesario is missing (packages fp-compiler-$version fp-utils-$version fpc-source-$version)" >&2
    exit 1
  fi
done

destino=$(mkdir -p "$1" && cd "$1" && pwd)
trabajo="$destino/fuentes"
# The script goes last: its presence says the whole tree is complete.
rm -rf "$trabajo" "$destino/bin" "$destino/units"
mkdir -p "$trabajo"
cp -r "$fuentes/rtl" "$trabajo/"
cd "$trabajo"
# The source package lacks the x86-64 dependency list and ships only the Makefile.fpc
# sources of the makefiles.
printf '%s\n' 'CPUNAMES=x86_64 math set setjump setjumph strings stringss int64p' \
  'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' > rtl/x86_64/makefile.cpu
(cd rtl && fpcmake -Tall -r -w -q)
make -s -C rtl FPC=/usr/bin/ppcx64 CPU_TARGET=x86_64 OS_TARGET=win64 all >/dev/null

mkdir -p "$destino/units/x86_64-win64"
cp -r rtl/units/x86_64-win64 "$destino/units/x86_64-win64/rtl"
rm -rf "$trabajo"
mkdir -p "$destino/bin"
cat > "$destino/bin/ppcx64-win64" <<FIN
#!/bin/sh
# Debian's ppcx64 for 64-bit Windows, with the units of $destino only (-n: no fpc.cfg).
exec /usr/bin/ppcx64 -n -Twin64 -Px86_64 -Fu"$destino/units/x86_64-win64/rtl" "\$@"
FIN
chmod +x "$destino/bin/ppcx64-win64"
