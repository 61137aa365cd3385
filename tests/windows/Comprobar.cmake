# Checks of a 32-bit Windows DLL and of a host linked against it, read from the files with
# objdump (no Windows needed):
#   -DOBJDUMP=... -DDLL=... -DRETORNOS="A_Inicializar=4;A_AsignarAlPedir=12;..." -DHOST=... -P Comprobar.cmake
# 1. the export table holds exactly the four names, plain (no decoration, no underscore);
# 2. every return of each export removes the stack bytes of its convention (ret $N);
# 3. the host imports those functions from the DLL by plain name.

function(fallar mensaje)
  message(FATAL_ERROR "${mensaje}")
endfunction()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE cabeceras RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fallar("objdump -p ${DLL} failed")
endif()

# The name pointer table: lines "\t[   0] A_Analizar" after "[Ordinal/Name Pointer] Table".
string(FIND "${cabeceras}" "[Ordinal/Name Pointer] Table" inicio)
if(inicio LESS 0)
  fallar("${DLL} has no export name table")
endif()
string(SUBSTRING "${cabeceras}" ${inicio} -1 tabla)
string(REGEX REPLACE "\n\n.*" "" tabla "${tabla}") # the table ends at the first empty line
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entradas "${tabla}")
set(exportados "")
foreach(entrada IN LISTS entradas)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" nombre "${entrada}")
  string(STRIP "${nombre}" nombre)
  list(APPEND exportados "${nombre}")
endforeach()
list(SORT exportados)
set(esperados A_Analizar A_AsignarAlPedir A_AsignarSeparadores A_Inicializar)
if(NOT exportados STREQUAL esperados)
  fallar("exports of ${DLL} are '${exportados}', expected exactly '${esperados}'")
endif()
message(STATUS "exports: ${exportados}")

# The returns, from the disassembly of each export (its local symbol keeps the decoration).
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL} OUTPUT_VARIABLE codigo RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fallar("objdump -d ${DLL} failed")
endif()
foreach(par IN LISTS RETORNOS)
  string(REPLACE "=" ";" par "${par}")
  list(GET par 0 funcion)
  list(GET par 1 bytes)
  string(REGEX MATCH "<_${funcion}@[0-9]+>:\n([^<]|<[^>]*>[^:])*" cuerpo "${codigo}")
  if(cuerpo STREQUAL "")
    fallar("no code for ${funcion} in ${DLL}")
  endif()
  string(REGEX MATCHALL "\n[ \t]*[0-9a-f]+:[ \t]+ret[^\n]*" retornos "${cuerpo}")
  if(retornos STREQUAL "")
    fallar("${funcion} has no return")
  endif()
  math(EXPR hexadecimal "${bytes}" OUTPUT_FORMAT HEXADECIMAL)
  foreach(retorno IN LISTS retornos)
    if(NOT retorno MATCHES "ret +\\$${hexadecimal}$")
      string(STRIP "${retorno}" retorno)
      fallar("${funcion} returns with '${retorno}', expected to remove ${bytes} bytes (ret $${hexadecimal})")
    endif()
  endforeach()
  message(STATUS "${funcion}: ret $${hexadecimal}")
endforeach()

# The host's import table: "DLL Name: Evalion.dll" and then its names.
execute_process(COMMAND ${OBJDUMP} -p ${HOST} OUTPUT_VARIABLE importaciones RESULT_VARIABLE rc)
get_filename_component(nombre_dll ${DLL} NAME)
string(FIND "${importaciones}" "DLL Name: ${nombre_dll}" inicio)
if(inicio LESS 0)
  fallar("${HOST} does not import ${nombre_dll}")
endif()
string(SUBSTRING "${importaciones}" ${inicio} -1 importaciones)
string(REGEX REPLACE "\n\n.*" "" importaciones "${importaciones}")
foreach(funcion A_Inicializar A_AsignarAlPedir A_AsignarSeparadores A_Analizar)
  if(NOT importaciones MATCHES "[0-9a-f]+[ \t]+[0-9]+[ \t]+${funcion}(\n|$)")
    fallar("${HOST} does not import ${funcion} from ${nombre_dll} by its plain name:\n${importaciones}")
  endif()
endforeach()
message(STATUS "${HOST}: imports the four functions from ${nombre_dll} by name")
