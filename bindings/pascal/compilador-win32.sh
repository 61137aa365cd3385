#!/usr/bin/env bash
# Builds a Free Pascal cross compiler for 32-bit Windows and its run-time library from
# Debian's own packages (fp-compiler-3.2.2, fp-utils-3.2.2, fpc-source-3.2.2): Debian ships
# no i386-win32 compiler. With --lcl it also builds the Free Pascal packages that the LCL's
# win32 widgetset and Lazarus's own packages use, for lazbuild. FPC's internal assembler and
# linker need no binutils; nothing outside DESTINO is written. About 15 seconds on two
# cores, about a minute in all with --lcl.
#
#   compilador-win32.sh [--lcl] DESTINO
#
# leaves DESTINO/bin/ppcross386, the units in DESTINO/units/i386-win32/<package>/ (rtl, and
# with --lcl the packages) and DESTINO/etc/fpc.cfg, which the compiler reads by itself and
# which names this tree's units only. Then:
#   DESTINO/bin/ppcross386 -Twin32 -Pi386 programa.pas
#   lazbuild --compiler=DESTINO/bin/ppcross386 --os=win32 --cpu=i386 --ws=win32 X.lpi
set -euo pipefail

uso() {
  echo "usage: compilador-win32.sh [--lcl] DESTINO" >&2
  exit 2
}
lcl=false
if [ "${1:-}" = "--lcl" ]; then
  lcl=true
  shift
fi
[ $# -eq 1 ] || uso

# What lazbuild compiles for a win32 LCL program needs these packages and no others: the
# units that the LCL, LazUtils, freetypelaz and Lazarus's FCL package use (the DB controls
# and fcllaz need fcl-db), with each one's dependencies as its fpmake.pp declares them for
# win32. A unit the list lacks makes lazbuild stop with "Can't find unit".
PAQUETES_LCL=(rtl-objpas rtl-extra rtl-generics hash paszlib pasjpeg fcl-base fcl-xml fcl-registry
  fcl-json fcl-process fcl-image winunits-base chm fcl-db ibase mysql odbc oracle postgres sqlite
  dblib pxlib)

version=3.2.2
fuentes=/usr/share/fpcsrc/$version
mensajes=/usr/lib/x86_64-linux-gnu/fpc/$version/msg/errore.msg
necesarios=("$fuentes/compiler" "$fuentes/rtl" "$mensajes" /usr/bin/ppcx64 /usr/bin/fpcmake)
$lcl && necesarios+=("$fuentes/packages")
for necesario in "${necesarios[@]}"; do
  if [ ! -e "$necesario" ]; then
    echo "compilador-win32.sh: $necesario is missing (packages fp-compiler-$version fp-utils-$version fpc-source-$version)" >&2
    exit 1
  fi
done

destino=$(mkdir -p "$1" && cd "$1" && pwd)
trabajo="$destino/fuentes"
# The compiler goes last: its presence says the whole tree is complete, for a build
# system that checks it.
rm -rf "$trabajo" "$destino/bin" "$destino/units" "$destino/etc"
mkdir -p "$trabajo"
cp -r "$fuentes/compiler" "$fuentes/rtl" "$trabajo/"
$lcl && cp -r "$fuentes/packages" "$trabajo/"
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

mkdir -p "$destino/units/i386-win32"
cp -r rtl/units/i386-win32 "$destino/units/i386-win32/rtl"
if $lcl; then
  (cd packages && fpcmake -Tall -r -w -q)
  # fpmake builds the packages that fpmake_add.inc adds, in their dependency order; keeping
  # only the LCL's there leaves the other fifty-odd packages unbuilt.
  patron=$(printf "'%s'\\\\|" "${PAQUETES_LCL[@]}")
  grep "IncludeTrailingPathDelimiter(\(${patron%\\|}\))" "$fuentes/packages/fpmake_add.inc" > packages/fpmake_add.inc
  if [ "$(wc -l < packages/fpmake_add.inc)" -ne ${#PAQUETES_LCL[@]} ]; then
    echo "compilador-win32.sh: fpmake_add.inc does not add every package of the list" >&2
    exit 1
  fi
  # fpmake is compiled for this machine with the native compiler, then builds the packages
  # with the cross compiler, on two threads.
  if ! make -C packages FPC="$trabajo/compiler/ppcross386" FPCFPMAKE=/usr/bin/ppcx64 CPU_TARGET=i386 \
      OS_TARGET=win32 FPMAKEOPT="-T 2" all > "$destino/paquetes.log" 2>&1; then
    tail -30 "$destino/paquetes.log" >&2
    exit 1
  fi
  for paquete in "${PAQUETES_LCL[@]}"; do
    cp -r "packages/$paquete/units/i386-win32" "$destino/units/i386-win32/$paquete"
  done
fi

# Found as <bin>/../etc/fpc.cfg when there is no ./fpc.cfg, ~/.fpc.cfg or PPC_CONFIG_PATH.
mkdir -p "$destino/etc"
cat > "$destino/etc/fpc.cfg" <<CFG
#IFNDEF WIN32
#ERROR this compiler is set up for -Twin32 only
#ENDIF
-Fu$destino/units/i386-win32/*
-Fl$destino/units/i386-win32/rtl
CFG
mkdir -p "$destino/bin"
cp compiler/ppcross386 "$destino/bin/"
cd "$destino"
rm -rf "$trabajo"
echo "compilador-win32.sh: $destino/bin/ppcross386"
