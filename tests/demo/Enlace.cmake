# Checks the dynamic section of Evaldemo: it needs libevalionobj (and not libevalion), and the
# only functions of the library it imports are A_Inicializar, A_AsignarAlPedir and A_Analizar.
#   cmake -DPROGRAMA=<Evaldemo> -DREADELF=<readelf> -DNM=<nm> -P Enlace.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${READELF} --dynamic ${PROGRAMA} OUTPUT_VARIABLE SECCION COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "\\[libevalion[a-z]*\\.so[.0-9]*\\]" NECESARIAS "${SECCION}")
if(NOT NECESARIAS STREQUAL "[libevalionobj.so.1]")
  message(FATAL_ERROR "Evaldemo must need libevalionobj.so.1 alone among the Evalion libraries:\n${SECCION}")
endif()

execute_process(COMMAND ${NM} --dynamic --undefined-only ${PROGRAMA} OUTPUT_VARIABLE SIMBOLOS COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[ \t]A_[A-Za-z]+" IMPORTADAS "${SIMBOLOS}")
string(STRIP "${IMPORTADAS}" IMPORTADAS)
string(REGEX REPLACE ";[ \t]+" ";" IMPORTADAS "${IMPORTADAS}")
list(SORT IMPORTADAS)
if(NOT IMPORTADAS STREQUAL "A_Analizar;A_AsignarAlPedir;A_Inicializar")
  message(FATAL_ERROR "Evaldemo imports ${IMPORTADAS}; expected A_Analizar, A_AsignarAlPedir, A_Inicializar")
endif()
