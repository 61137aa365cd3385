# Every file of the 64-bit build is an x86-64 PE32+ image:
#   -DOBJDUMP=... -DARCHIVOS="a.dll;b.exe" -P Formato.cmake
foreach(archivo IN LISTS ARCHIVOS)
  execute_process(COMMAND ${OBJDUMP} -f ${archivo} OUTPUT_VARIABLE cabecera RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT cabecera MATCHES "file format pei-x86-64")
    message(FATAL_ERROR "${archivo} is not a 64-bit Windows image:\n${cabecera}")
  endif()
  message(STATUS "${archivo}: pei-x86-64")
endforeach()
