#!/usr/bin/env bash
# Builds the Free Pascal run-time library for 64-bit Windows (x86_64-win64) from Debian's own
# packages (fp-compiler-3.2.2, fp-utils-3.2.2, fpc-source-3.2.2): Debian's native x86-64
# compiler, ppcx64, already targets win64 (-Twin64) and needs only these units; its internal
# assembler and linker need no binutils. With --lcl it also builds the Free Pascal packages
# that the LCL's win32 widgetset and Lazarus's own packages use, for lazbuild, as
# compilador-win32.sh does for 32-bit Windows. Nothing outside DESTINO is written. About 15
# seconds on two cores, about a minute in all with --lcl.
#
#   compilador-win64.sh [--lcl] DESTINO
#
# leaves DESTINO/units/x86_64-win64/rtl/ and DESTINO/bin/ppcx64-win64, a script that runs
# Debian's ppcx64 for win64 with those units and no other configuration:
#   DESTINO/bin/ppcx64-win64 programa.pas      (a 64-bit Windows program.exe)
# With --lcl also the packages in DESTINO/units/x86_64-win64/<package>/, and DESTINO/bin/ppcx64,
# a copy of Debian's compiler that reads DESTINO/etc/fpc.cfg (this tree's units only) by
# itself, for lazbuild, which takes a compiler and no options for it:
#   lazbuild --compiler=DESTINO/bin/ppcx64 --os=win64 --cpu=x86_64 --ws=win32 X.lpi
set -euo pipefail

uso() {
  echo "usage: compilador-win64.sh [--lcl] DESTINO" >&2
  exit 2
}
lcl=false
if [ "${1:-}" = "--lcl" ]; then
  lcl=true
  shift
fi
[ $# -eq 1 ] || uso

# compilador-win32.sh's list of packages but pxlib, which its fpmake.pp (and so fcl-db's)
# does not declare for win64.
PAQUETES_LCL=(rtl-objpas rtl-extra rtl-generics hash paszlib pasjpeg fcl-base fcl-xml fcl-registry
  fcl-json fcl-process fcl-image winunits-base chm fcl-db ibase mysql odbc oracle postgres sqlite
  dblib)

version=3.2.2
fuentes=/usr/share/fpcsrc/$version
necesarios=("$fuentes/rtl" /usr/bin/ppcx64 /usr/bin/fpcmake)
$lcl && necesarios+=("$fuentes/packages")
for necesario in "${necesarios[@]}"; do
  if [ ! -e "$necesario" ]; then
    echo "compilador-win64.sh: $necesario is missing (packages fp-compiler-$version fp-utils-$version fpc-source-$version)" >&2
    exit 1
  fi
done

destino=$(mkdir -p "$1" && cd "$1" && pwd)
trabajo="$destino/fuentes"
# The script goes last: its presence says the whole tree is complete.
rm -rf "$trabajo" "$destino/bin" "$destino/units" "$destino/etc"
mkdir -p "$trabajo"
cp -r "$fuentes/rtl" "$trabajo/"
$lcl && cp -r "$fuentes/packages" "$trabajo/"
cd "$trabajo"
# The source package lacks the x86-64 dependency list and ships only the Makefile.fpc
# sources of the makefiles.
printf '%s\n' 'CPUNAMES=x86_64 math set setjump setjumph strings stringss int64p' \
  'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' > rtl/x86_64/makefile.cpu
(cd rtl && fpcmake -Tall -r -w -q)
make -s -C rtl FPC=/usr/bin/ppcx64 CPU_TARGET=x86_64 OS_TARGET=win64 all >/dev/null

mkdir -p "$destino/units/x86_64-win64"
cp -r rtl/units/x86_64-win64 "$destino/units/x86_64-win64/rtl"
if $lcl; then
  (cd packages && fpcmake -Tall -r -w -q)
  # fpmake builds the packages that fpmake_add.inc adds, in their dependency order; keeping
  # only the LCL's there leaves the other fifty-odd packages unbuilt.
  patron=$(printf "'%s'\\\\|" "${PAQUETES_LCL[@]}")
  grep "IncludeTrailingPathDelimiter(\(${patron%\\|}\))" "$fuentes/packages/fpmake_add.inc" > packages/fpmake_add.inc
  if [ "$(wc -l < packages/fpmake_add.inc)" -ne ${#PAQUETES_LCL[@]} ]; then
    echo "compilador-win64.sh: fpmake_add.inc does not add every package of the list" >&2
    exit 1
  fi
  # fpmake is compiled for this machine, then builds the packages for win64, on two threads.
  if ! make -C packages FPC=/usr/bin/ppcx64 FPCFPMAKE=/usr/bin/ppcx64 CPU_TARGET=x86_64 \
      OS_TARGET=win64 FPMAKEOPT="-T 2" all > "$destino/paquetes.log" 2>&1; then
    tail -30 "$destino/paquetes.log" >&2
    exit 1
  fi
  for paquete in "${PAQUETES_LCL[@]}"; do
    cp -r "packages/$paquete/units/x86_64-win64" "$destino/units/x86_64-win64/$paquete"
  done
  # Found as <bin>/../etc/fpc.cfg when there is no ./fpc.cfg, ~/.fpc.cfg or PPC_CONFIG_PATH,
  # before this machine's /etc/fpc.cfg.
  mkdir -p "$destino/etc" "$destino/bin"
  cat > "$destino/etc/fpc.cfg" <<CFG
#IFNDEF WIN64
#ERROR this compiler is set up for -Twin64 only
#ENDIF
-Fu$destino/units/x86_64-win64/*
-Fl$destino/units/x86_64-win64/rtl
CFG
  cp /usr/bin/ppcx64 "$destino/bin/ppcx64"
fi
rm -rf "$trabajo"
mkdir -p "$destino/bin"
cat > "$destino/bin/ppcx64-win64" <<FIN
#!/bin/sh
# Debian's ppcx64 for 64-bit Windows, with the units of $destino only (-n: no fpc.cfg).
exec /usr/bin/ppcx64 -n -Twin64 -Px86_64 -Fu"$destino/units/x86_64-win64/rtl" "\$@"
FIN
chmod +x "$destino/bin/ppcx64-win64"
