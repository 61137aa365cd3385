# The two ways of installing the package, each then analysing once with the installed copy:
#   -DPYTHON=... -DFUENTES=bindings/python -DDESTINO=... -DBIBLIOTECAS=... -DCONSTRUCCION=... -P Pip.cmake
# 1. pip, offline and isolated, so with nothing but the package's own backend, from a copy,
#    since pip builds in the source folder; the libraries come from EVALION_BIBLIOTECAS;
# 2. cmake --install of the whole build into a prefix; the package finds the libraries of
#    that prefix by itself, with EVALION_BIBLIOTECAS unset.

# Runs one analysis with the package found on RUTA and checks that it came from there.
function(analizar ruta)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=EVALION_BIBLIOTECAS PYTHONPATH=${ruta} ${ARGN}
      ${PYTHON} -c "import evalion; print(evalion.__file__, evalion.Analizador({'x': 20}).analizar('x + 1'))"
    WORKING_DIRECTORY ${DESTINO}
    OUTPUT_VARIABLE salida ERROR_VARIABLE errores RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT salida MATCHES "^${ruta}/evalion/__init__.py 21.0\n$")
    message(FATAL_ERROR "the package installed in ${ruta} did not analyse (${rc}): ${salida}${errores}")
  endif()
  message(STATUS "${salida}")
endfunction()

file(REMOVE_RECURSE ${DESTINO})
file(MAKE_DIRECTORY ${DESTINO})
file(COPY ${FUENTES}/pyproject.toml ${FUENTES}/construir.py ${FUENTES}/evalion DESTINATION ${DESTINO}/fuentes)
execute_process(
  COMMAND ${PYTHON} -m pip install --quiet --no-index --no-deps --no-compile
    --disable-pip-version-check --target ${DESTINO}/pip ${DESTINO}/fuentes
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pip install failed (${rc})")
endif()
analizar(${DESTINO}/pip EVALION_BIBLIOTECAS=${BIBLIOTECAS})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${CONSTRUCCION} --prefix ${DESTINO}/prefijo
  OUTPUT_VARIABLE salida RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}): ${salida}")
endif()
file(GLOB paquete LIST_DIRECTORIES true ${DESTINO}/prefijo/*/python3*/site-packages)
analizar(${paquete})
