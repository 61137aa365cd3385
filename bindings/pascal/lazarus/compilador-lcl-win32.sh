#!/usr/bin/env bash
# The Free Pascal cross compiler for 32-bit Windows with its run-time library AND the
# packages the LCL needs (fcl-*, paszlib, winunits-base...), from Debian's own sources
# (fp-compiler-3.2.2, fp-utils-3.2.2, fpc-source-3.2.2), for lazbuild. Two to three minutes,
# once per build tree; nothing outside DESTINO is written.
#
#   compilador-lcl-win32.sh DESTINO
#
# leaves DESTINO/bin/ppcross386, the units in DESTINO/units/i386-win32/<package>/ and
# DESTINO/etc/fpc.cfg, which the compiler reads by itself (it names this tree's units only).
# Then: lazbuild --compiler=DESTINO/bin/ppcross386 --os=win32 --cpu=i386 --ws=win32 X.lpi
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: compilador-lcl-win32.sh DESTINO" >&2
  exit 2
fi
version=3.2.2
fuentes=/usr/share/fpcsrc/$version
mensajes=/usr/lib/x86_64-linux-gnu/fpc/$version/msg/errore.msg
for necesario in "$fuentes/compiler" "$fuentes/rtl" "$fuentes/packages" "$mensajes" /usr/bin/ppcx64 /usr/bin/fpcmake; do
  if [ ! -e "$necesario" ]; then
    echo "compilador-lcl-win32.sh: $necesario is missing (packages fp-compiler-$version fp-utils-$version fpc-source-$version)" >&2
    exit 1
  fi
done

destino=$(mkdir -p "$1" && cd "$1" && pwd)
trabajo="$destino/fuentes"
rm -rf "$trabajo"
mkdir -p "$trabajo"
cp -r "$fuentes/compiler" "$fuentes/rtl" "$fuentes/packages" "$trabajo/"
cd "$trabajo"
# The source package lacks the message file and the i386 dependency list, and ships only
# the Makefile.fpc sources of the makefiles.
mkdir -p compiler/msg
cp "$mensajes" compiler/msg/
printf '%s\n' 'CPUNAMES=i386 math set setjump setjumph strings stringss int64p' \
  'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' > rtl/i386/makefile.cpu
(cd rtl && fpcmake -Tall -r -w -q)
(cd compiler && fpcmake -Tall -w -q)
(cd packages && fpcmake -Tall -r -w -q)
make -s -C compiler PPC_TARGET=i386 CPU_UNITDIR=i386 EXENAME=ppcross386 FPC=/usr/bin/ppcx64 compiler >/dev/null
make -s -C rtl FPC="$trabajo/compiler/ppcross386" CPU_TARGET=i386 OS_TARGET=win32 all >/dev/null
# fpmake is compiled for this machine with the native compiler, then builds every package
# that supports win32 with the cross compiler, on two threads.
if ! make -C packages FPC="$trabajo/compiler/ppcross386" FPCFPMAKE=/usr/bin/ppcx64 CPU_TARGET=i386 \
    OS_TARGET=win32 FPMAKEOPT="-T 2" all > "$destino/paquetes.log" 2>&1; then
  tail -30 "$destino/paquetes.log" >&2
  exit 1
fi

rm -rf "$destino/bin" "$destino/units"
mkdir -p "$destino/bin" "$destino/units/i386-win32"
cp compiler/ppcross386 "$destino/bin/"
cp -r rtl/units/i386-win32 "$destino/units/i386-win32/rtl"
for carpeta in packages/*/units/i386-win32; do
  paquete=$(basename "$(dirname "$(dirname "$carpeta")")")
  cp -r "$carpeta" "$destino/units/i386-win32/$paquete"
done
# Found as <bin>/../etc/fpc.cfg when there is no ./fpc.cfg, ~/.fpc.cfg or PPC_CONFIG_PATH.
mkdir -p "$destino/etc"
cat > "$destino/etc/fpc.cfg" <<CFG
#IFNDEF WIN32
#ERROR this compiler is set up for -Twin32 only
#ENDIF
-Fu$destino/units/i386-win32/*
-Fl$destino/units/i386-win32/rtl
CFG
cd "$destino"
rm -rf "$trabajo"
echo "compilador-lcl-win32.sh: $destino/bin/ppcross386"
