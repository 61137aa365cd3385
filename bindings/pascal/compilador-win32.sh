#!/usr/bin/env bash
# Builds a Free Pascal cross compiler for 32-bit Windows, and its run-time units, from
# Debian's own packages (fp-compiler-3.2.2, fp-utils-3.2.2, fpc-source-3.2.2): Debian ships
# no i386-win32 compiler. Takes about 15 seconds; FPC's internal assembler and linker need
# no binutils.
#
#   compilador-win32.sh DESTINO
#
# leaves DESTINO/ppcross386 and the units in DESTINO/units/i386-win32. Compile a program
# with: DESTINO/ppcross386 -Twin32 -Pi386 -FuDESTINO/units/i386-win32 programa.pas
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: compilador-win32.sh DESTINO" >&2
  exit 2
fi
version=3.2.2
fuentes=/usr/share/fpcsrc/$version
mensajes=/usr/lib/x86_64-linux-gnu/fpc/$version/msg/errore.msg
for necesario in "$fuentes/compiler" "$fuentes/rtl" "$mensajes" /usr/bin/ppcx64 /usr/bin/fpcmake; do
  if [ ! -e "$necesario" ]; then
    echo "compilador-win32.sh: $necesario is missing (packages fp-compiler-$version fp-utils-$version fpc-source-$version)" >&2
    exit 1
  fi
done

destino=$(mkdir -p "$1" && cd "$1" && pwd)
trabajo="$destino/fuentes"
rm -rf "$trabajo"
mkdir -p "$trabajo"
cp -r "$fuentes/compiler" "$fuentes/rtl" "$trabajo/"
cd "$trabajo"
# The source package lacks the message file and the i386 dependency list, and ships only
# the Makefile.fpc sources of the makefiles.
mkdir -p compiler/msg
cp "$mensajes" compiler/msg/
printf '%s\n' 'CPUNAMES=i386 math set setjump setjumph strings stringss int64p' \
  'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' > rtl/i386/makefile.cpu
(cd rtl && fpcmake -Tall -r -w -q)
(cd compiler && fpcmake -Tall -w -q)
make -s -C compiler PPC_TARGET=i386 CPU_UNITDIR=i386 EXENAME=ppcross386 FPC=/usr/bin/ppcx64 compiler >/dev/null
make -s -C rtl FPC="$trabajo/compiler/ppcross386" CPU_TARGET=i386 OS_TARGET=win32 all >/dev/null

cp compiler/ppcross386 "$destino/"
rm -rf "$destino/units"
mkdir -p "$destino/units"
cp -r rtl/units/i386-win32 "$destino/units/"
cd "$destino"
rm -rf "$trabajo"
echo "compilador-win32.sh: $destino/ppcross386"
