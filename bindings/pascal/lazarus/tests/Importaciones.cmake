# The package's test program, 32-bit or 64-bit Windows: the DLLs it imports from are the system's
# only, so the engine linked into it needs no MinGW run time and no Evalion DLL.
#   cmake -DOBJDUMP=... -DPROGRAMA=PruebasPaquete.exe -P Importaciones.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAMA} OUTPUT_VARIABLE volcado RESULT_VARIABLE estado)
if(NOT estado EQUAL 0)
  message(FATAL_ERROR "objdump -p ${PROGRAMA} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${volcado}")
foreach(linea ${dlls})
  string(REPLACE "DLL Name: " "" dll "${linea}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll MATCHES "^(kernel32|msvcrt|user32|gdi32|advapi32|oleaut32|ole32|shell32|comctl32|comdlg32|winspool\\.drv|version)(\\.dll)?$")
    message(FATAL_ERROR "${PROGRAMA} imports from ${dll}")
  endif()
endforeach()
if(NOT volcado MATCHES "DLL Name: msvcrt.dll")
  message(FATAL_ERROR "${PROGRAMA} does not import the engine's C library msvcrt.dll")
endif()
message(STATUS "${PROGRAMA}: ${dlls}")
