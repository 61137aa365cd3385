# The LCL Evaldemo.exe's imports (32-bit or 64-bit Windows): of the Evalion DLLs it imports from
# Evalionobj.dll alone, and from it exactly A_Inicializar, A_AsignarAlPedir and A_Analizar.
#   cmake -DOBJDUMP=... -DPROGRAMA=Evaldemo.exe -P Importaciones.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAMA} OUTPUT_VARIABLE volcado COMMAND_ERROR_IS_FATAL ANY)
# One entry per imported DLL: its name, then its functions up to the next blank line.
string(REGEX MATCHALL "DLL Name: [^\n]+\n[^\n]*\n([^\n]+\n)*" tablas "${volcado}")
set(dlls "")
set(funciones "")
foreach(tabla ${tablas})
  string(REGEX MATCH "DLL Name: ([^\n]+)" _ "${tabla}")
  set(dll ${CMAKE_MATCH_1})
  if(dll MATCHES "^[Ee]valion")
    list(APPEND dlls ${dll})
    string(REGEX MATCHALL "[ \t][0-9]+[ \t]+A_[A-Za-z]+" nombres "${tabla}")
    foreach(nombre ${nombres})
      string(REGEX REPLACE ".*(A_[A-Za-z]+)$" "\\1" nombre "${nombre}")
      list(APPEND funciones ${nombre})
    endforeach()
  endif()
endforeach()
list(SORT funciones)
if(NOT dlls STREQUAL "Evalionobj.dll" OR NOT funciones STREQUAL "A_Analizar;A_AsignarAlPedir;A_Inicializar")
  message(FATAL_ERROR "${PROGRAMA} imports from ${dlls}: ${funciones}; expected from Evalionobj.dll alone: "
    "A_Analizar, A_AsignarAlPedir, A_Inicializar")
endif()
message(STATUS "${PROGRAMA}: ${dlls}: ${funciones}")
