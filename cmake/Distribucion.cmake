# The Windows distribution, Evalion-<version>-win32.zip: both DLLs, the standard library's
# and the two of prepared expressions with their MinGW import libraries and .def files,
# Parser.h, Estandar.h, Formula.h and FormulaEstandar.h, Evaldemo.exe and LEEME.txt; where lazbuild is there,
# the Lazarus package (lazarus/Evalcomp: the package file, the unit, its resources and the
# engine's object with the two import libraries it links) and the LCL Evaldemo beside its
# DLL (lazarus/Evaldemo). Made by cpack, or by the "package" target of the windows build.
# The 64-bit build (windows64) makes Evalion-<version>-win64.zip the same way, with the .def
# files of plain names its import libraries were made from, and the Lazarus part built for
# x86_64-win64.
set(EVALION_IMPORTACION ${PROJECT_BINARY_DIR}/lib/importacion)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(EVALION_SUFIJO win64)
  set(EVALION_LAZARUS_PLATAFORMA x86_64-win64)
  set(EVALION_DEFINICIONES ${EVALION_IMPORTACION}/Evalion.def ${EVALION_IMPORTACION}/Evalionobj.def
    ${PROJECT_BINARY_DIR}/estandar/importacion/EvalionEstandar.def
    ${PROJECT_BINARY_DIR}/formula/importacion/EvalionFormula.def
    ${PROJECT_BINARY_DIR}/formula/importacion/EvalionFormulaobj.def)
else()
  set(EVALION_SUFIJO win32)
  set(EVALION_LAZARUS_PLATAFORMA i386-win32)
  set(EVALION_DEFINICIONES ${PROJECT_SOURCE_DIR}/lib/Evalion.def ${PROJECT_SOURCE_DIR}/lib/Evalionobj.def
    ${PROJECT_SOURCE_DIR}/estandar/EvalionEstandar.def
    ${PROJECT_SOURCE_DIR}/formula/EvalionFormula.def ${PROJECT_SOURCE_DIR}/formula/EvalionFormulaobj.def)
endif()
install(FILES $<TARGET_FILE:evalion> $<TARGET_FILE:evalionobj> $<TARGET_FILE:evalion_estandar>
  $<TARGET_FILE:evalion_formula> $<TARGET_FILE:evalion_formulaobj>
  $<TARGET_FILE:evaldemo_windows> DESTINATION bin)
install(FILES ${EVALION_IMPORTACION}/libEvalion.a ${EVALION_IMPORTACION}/libEvalionobj.a
  ${PROJECT_BINARY_DIR}/estandar/importacion/libEvalionEstandar.a
  ${PROJECT_BINARY_DIR}/formula/importacion/libEvalionFormula.a
  ${PROJECT_BINARY_DIR}/formula/importacion/libEvalionFormulaobj.a
  ${EVALION_DEFINICIONES}
  DESTINATION lib)
install(FILES ${PROJECT_SOURCE_DIR}/include/evalion/Parser.h ${PROJECT_SOURCE_DIR}/include/evalion/Estandar.h ${PROJECT_SOURCE_DIR}/include/evalion/Formula.h ${PROJECT_SOURCE_DIR}/include/evalion/FormulaEstandar.h DESTINATION include)
if(TARGET evalcomp_lazarus)
  install(FILES ${EVALCOMP_CARPETA}/Evalcomp.lpk ${EVALCOMP_CARPETA}/Evalcomp.pas ${EVALCOMP_CARPETA}/Evalion.pas
    ${EVALCOMP_CARPETA}/evalcomp.res ${EVALCOMP_CARPETA}/TEVALION.bmp ${EVALCOMP_CARPETA}/DESCRIPTION
    DESTINATION lazarus/Evalcomp)
  install(DIRECTORY ${EVALCOMP_CARPETA}/obj/${EVALION_LAZARUS_PLATAFORMA} DESTINATION lazarus/Evalcomp/obj)
endif()
if(TARGET evaldemo_lcl)
  install(FILES ${EVALION_EVALDEMO_LCL} $<TARGET_FILE:evalionobj> DESTINATION lazarus/Evaldemo)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/LEEME-${EVALION_SUFIJO}.txt ${PROJECT_BINARY_DIR}/LEEME.txt @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/LEEME.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Evalion-${PROJECT_VERSION}-${EVALION_SUFIJO})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/distribucion)
include(CPack)
