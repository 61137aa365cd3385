# Checks of a 32-bit Windows Pascal test program read from its files, for machines that
# cannot run it:
#   -DOBJDUMP=... -DPROGRAMA=x.exe -DDLL=Evalion.dll -DLISTADO=Evalion.s -DOBJETO=0|1 -P Binario.cmake
# 1. the program imports the four functions from DLL by plain name;
# 2. in the object form, the adapters of TEvalion return as the engine calls them: the
#    variable request removes nothing, the function request the 8 bytes of N and R.

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAMA} OUTPUT_VARIABLE cabeceras RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p ${PROGRAMA} failed")
endif()
string(REGEX MATCH "DLL Name: ${DLL}\n[^\n]*\n(\t[^\n]+\n)*" importacion "${cabeceras}")
foreach(funcion A_Inicializar A_AsignarAlPedir A_AsignarSeparadores A_Analizar)
  if(NOT importacion MATCHES "[0-9] +${funcion}\n")
    message(FATAL_ERROR "${PROGRAMA} does not import ${funcion} from ${DLL}:\n${importacion}")
  endif()
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
message(STATUS "${PROGRAMA}: imports from ${DLL} by name")
