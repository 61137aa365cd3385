# The Windows distribution as a user gets it: made by cpack, unpacked, a C host built from
# its files alone and run under Wine.
#   -DCPACK=... -DCONFIGURACION=CPackConfig.cmake -DCOMPILADOR=i686-w64-mingw32-gcc
#   -DHOST=anfitrion.c -DWINE32=wine32.sh -DVERSION=... -DTRABAJO=folder [-DLAZARUS=1 [-DPLATAFORMA=...]] -P Distribucion.cmake
# Prints the runner's "SKIPPED: ..." line where 32-bit code cannot run. The 64-bit build
# passes -DSUFIJO=win64 (the archive's name), its runner, cmake/wine64.sh, as WINE32, and
# -DPLATAFORMA=x86_64-win64 (the Lazarus package's object folder).
function(fallar mensaje)
  message(FATAL_ERROR "${mensaje}")
endfunction()

if(NOT DEFINED SUFIJO)
  set(SUFIJO win32)
endif()
file(REMOVE_RECURSE ${TRABAJO})
file(MAKE_DIRECTORY ${TRABAJO})
execute_process(COMMAND ${CPACK} --config ${CONFIGURACION} -B ${TRABAJO}
  RESULT_VARIABLE rc OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
set(archivo ${TRABAJO}/Evalion-${VERSION}-${SUFIJO}.zip)
if(NOT rc EQUAL 0 OR NOT EXISTS ${archivo})
  fallar("cpack did not make ${archivo}:\n${salida}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archivo} WORKING_DIRECTORY ${TRABAJO} RESULT_VARIABLE rc)
set(raiz ${TRABAJO}/Evalion-${VERSION}-${SUFIJO})
foreach(parte bin/Evalion.dll bin/Evalionobj.dll bin/EvalionEstandar.dll bin/Evaldemo.exe lib/libEvalion.a
    lib/libEvalionobj.a lib/libEvalionEstandar.a lib/EvalionEstandar.def include/Estandar.h
    bin/EvalionFormula.dll bin/EvalionFormulaobj.dll lib/libEvalionFormula.a include/Formula.h include/FormulaEstandar.h
    lib/Evalion.def lib/Evalionobj.def include/Parser.h LEEME.txt)
  if(NOT EXISTS ${raiz}/${parte})
    fallar("the distribution lacks ${parte}")
  endif()
endforeach()
# The Lazarus package and the LCL Evaldemo, where the build has lazbuild (LAZARUS), the
# package's object for PLATAFORMA (i386-win32 unless told).
if(LAZARUS)
  if(NOT PLATAFORMA)
    set(PLATAFORMA i386-win32)
  endif()
  foreach(parte Evalcomp/Evalcomp.lpk Evalcomp/Evalion.pas Evalcomp/evalcomp.res
      Evalcomp/obj/${PLATAFORMA}/evalion_motor.o Evalcomp/obj/${PLATAFORMA}/libmsvcrt.a
      Evalcomp/obj/${PLATAFORMA}/libkernel32.a Evaldemo/Evaldemo.exe Evaldemo/Evalionobj.dll)
    if(NOT EXISTS ${raiz}/lazarus/${parte})
      fallar("the distribution lacks lazarus/${parte}")
    endif()
  endforeach()
endif()

# A host of each DLL, from the unpacked files only, beside its DLL as the text says; both
# are built before either runs, so that the build is checked where running is skipped.
foreach(biblioteca Evalion Evalionobj)
  set(definiciones "")
  if(biblioteca STREQUAL "Evalionobj")
    set(definiciones -DEVALION_OBJETO)
  endif()
  execute_process(COMMAND ${COMPILADOR} ${definiciones} ${HOST} -I${raiz}/include -L${raiz}/lib -l${biblioteca}
      -static-libgcc -o ${raiz}/bin/anfitrion_${biblioteca}.exe
    RESULT_VARIABLE rc OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
  if(NOT rc EQUAL 0)
    fallar("a host of ${biblioteca} does not build against the distribution:\n${salida}")
  endif()
endforeach()
foreach(biblioteca Evalion Evalionobj)
  # The host's answer is its standard output; Wine's own processes may write on standard error
  # (seen: a background process of a fresh 64-bit prefix reporting its crash).
  execute_process(COMMAND ${WINE32} ${raiz}/bin/anfitrion_${biblioteca}.exe "f(x)+1"
    RESULT_VARIABLE rc OUTPUT_VARIABLE salida ERROR_VARIABLE errores)
  if(rc EQUAL 77)
    message("${salida}")
    return()
  endif()
  if(NOT rc EQUAL 0 OR NOT salida MATCHES "^6\r?\n")
    fallar("the host of ${biblioteca} from the distribution printed '${salida}' (status ${rc}), expected 6; "
      "on standard error: '${errores}'")
  endif()
  message(STATUS "${biblioteca}: f(x)+1 = 6 from the distribution")
endforeach()
