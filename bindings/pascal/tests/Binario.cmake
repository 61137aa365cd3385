# Checks of a 32-bit Windows Pascal test program read from its files, for machines that
# cannot run it:
#   -DOBJDUMP=... -DPROGRAMA=x.exe -DIMPORTACIONES="A.dll=f,g|B.dll=h" -DLISTADO=Evalion.s
#   -DOBJETO=0|1 -P Binario.cmake
# 1. the program imports each function from its DLL by plain name;
# 2. in the object form, the adapters of TEvalion return as the engine calls them: the
#    variable request removes nothing, the function request the 8 bytes of N and R.

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAMA} OUTPUT_VARIABLE cabeceras RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p ${PROGRAMA} failed")
endif()
string(REPLACE "|" ";" importaciones "${IMPORTACIONES}")
foreach(par IN LISTS importaciones)
  string(REPLACE "=" ";" par "${par}")
  list(GET par 0 dll)
  list(GET par 1 funciones)
  string(REGEX MATCH "DLL Name: ${dll}\n[^\n]*\n(\t[^\n]+\n)*" importacion "${cabeceras}")
  string(REPLACE "," ";" funciones "${funciones}")
  foreach(funcion IN LISTS funciones)
    if(NOT importacion MATCHES "[0-9] +${funcion}\n")
      message(FATAL_ERROR "${PROGRAMA} does not import ${funcion} from ${dll}:\n${importacion}")
    endif()
  endforeach()
endforeach()

if(OBJETO)
  file(READ ${LISTADO} listado)
  foreach(par "ALPEDIRVARIABLE=ret" "ALPEDIRFUNCION=ret\t\\$8")
    string(REPLACE "=" ";" par "${par}")
    list(GET par 0 metodo)
    list(GET par 1 retorno)
    string(FIND "${listado}" "\nEVALION$_$TEVALION_$__$$__${metodo}" inicio)
    if(inicio LESS 0)
      message(FATAL_ERROR "no TEvalion._${metodo} in ${LISTADO}")
    endif()
    string(SUBSTRING "${listado}" ${inicio} -1 cuerpo)
    string(REGEX MATCH "\n\tret[^\n]*" ultimo "${cuerpo}") # the first return after the label
    string(STRIP "${ultimo}" ultimo)
    if(NOT ultimo MATCHES "^${retorno}$")
      message(FATAL_ERROR "TEvalion._${metodo} ends with '${ultimo}', expected '${retorno}'")
    endif()
  endforeach()
endif()
message(STATUS "${PROGRAMA}: imports ${IMPORTACIONES}")
