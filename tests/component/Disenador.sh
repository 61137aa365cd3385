#!/bin/sh
# evalion-disenador as a user runs it: each row is a command line, its exit status and a line
# that standard output or standard error must hold (an empty one: they must stay empty).
#   Disenador.sh DESIGNER PACKAGE VERSION
set -u
DISENADOR=$1
PAQUETE=$2
VERSION=$3
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
cd "$DIR" || exit 1
fallos=0

# caso STATUS LINE ARGUMENTS...
caso() {
  esperado=$1
  linea=$2
  shift 2
  estado=0
  "$DISENADOR" "$@" > salida 2>&1 || estado=$?
  if [ -z "$linea" ]; then
    hallada=$([ ! -s salida ] && echo si)
  else
    hallada=$(grep -qxF -- "$linea" salida && echo si)
  fi
  if [ "$estado" -ne "$esperado" ] || [ -z "$hallada" ]; then
    echo "FAILED: $* (status $estado, expected $esperado; expected the line: $linea)"
    cat salida
    fallos=$((fallos + 1))
  fi
}

FIRMA_VARIABLE='TEvalion.OnPedirVariable(QObject*,char*,BLOQUEDEDATOS*)'
FIRMA_FUNCION='TEvalion.OnPedirFuncion(QObject*,char*,BLOQUEDEDATOS*,int32_t,BLOQUEDEDATOS*)'
MAL_ENLAZADO="evalion-disenador: TFormulario.PedirVariable(QObject*,char*,BLOQUEDEDATOS*) cannot handle $FIRMA_FUNCION: the parameters differ"

caso 1 "evalion-disenador: TFormulario has no public slot NoExiste to handle $FIRMA_VARIABLE" \
  create "$PAQUETE" sin_slot.json TEvalion OnPedirVariable=NoExiste
caso 1 "$MAL_ENLAZADO" create "$PAQUETE" mal.json TEvalion OnPedirFuncion=PedirVariable
for refusado in sin_slot.json mal.json; do
  [ ! -e "$refusado" ] || { echo "FAILED: a refused form was written: $refusado"; fallos=$((fallos + 1)); }
done

# A form written by hand with the same wiring is refused when it is loaded.
printf '%s' '{"Formulario": 1, "Clase": "TFormulario", "Nombre": "Form1", "Componentes": [{"Clase": "TEvalion",
  "Nombre": "Evalion1", "Eventos": {"OnPedirFuncion": "PedirVariable"}}]}' > a_mano.json
caso 1 "$MAL_ENLAZADO" load "$PAQUETE" a_mano.json 'suma(1;2)'

caso 0 "" create "$PAQUETE" bueno.json TEvalion SeparadorMillar=#39 OnPedirVariable=PedirVariable \
  OnPedirFuncion=PedirFuncion
caso 0 "    SeparadorMillar = '" load "$PAQUETE" bueno.json
caso 0 "  Evalion1: suma(pi; 1) -> 4.14159265358979" load "$PAQUETE" bueno.json 'suma(pi; 1)'
caso 1 "  Evalion1: x -> error 1000 at 1" load "$PAQUETE" bueno.json 'suma(pi; 1)' x
caso 0 '  Evalion1: "€" + "ñ" -> "€ñ"' load "$PAQUETE" bueno.json '"€" + "ñ"'
caso 1 "evalion-disenador: TEvalion has no property or event Nada" create "$PAQUETE" nada.json TEvalion Nada=1
LLENO="No space left on device"
caso 1 "evalion-disenador: cannot write /dev/full: $LLENO" create "$PAQUETE" /dev/full TEvalion
caso 1 "evalion-disenador: cannot write /dev/full: $LLENO" bitmap "$PAQUETE" TEvalion /dev/full

# Forms of another shape are refused, saying what is wrong.
forma() {
  printf '{"Formulario": 1, "Clase": "TFormulario", "Nombre": "Form1", "Componentes": %s}' "$2" > forma.json
  caso 1 "evalion-disenador: $1" load "$PAQUETE" forma.json
}
COMPONENTE='{"Clase": "TEvalion", "Nombre": "Evalion1"}'
forma "two components are named Evalion1" "[$COMPONENTE, $COMPONENTE]"
forma "component 1 has no name" '[{"Clase": "TEvalion", "Nombre": ""}]'
forma "the form's Componentes is not a list" '{}'
forma "component 2 is not an object" "[$COMPONENTE, 3]"
forma "unknown key Color in component Evalion1" '[{"Clase": "TEvalion", "Nombre": "Evalion1", "Color": 1}]'
forma "Evalion1.OnPedirVariable: the handler is not a name" \
  '[{"Clase": "TEvalion", "Nombre": "Evalion1", "Eventos": {"OnPedirVariable": 1}}]'

# Output that cannot be written is a failure with its reason.
for orden in "palette $PAQUETE" "load $PAQUETE bueno.json" --version --help; do
  estado=0
  # shellcheck disable=SC2086 # the command's words
  "$DISENADOR" $orden > /dev/full 2> error || estado=$?
  if [ "$estado" -ne 1 ] || ! grep -qxF "evalion-disenador: cannot write standard output: $LLENO" error; then
    echo "FAILED: $orden > /dev/full (status $estado)"
    cat error
    fallos=$((fallos + 1))
  fi
done

caso 0 "evalion-disenador $VERSION" --version
caso 2 "  --help      print this help    --version   print the version" palette

exit $((fallos > 0))
