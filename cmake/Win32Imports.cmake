# The run-time's operations as quorvel.dll imports them from XPPRT1.dll: under their decorated
# names (__parc, ...), through an import library made here with dlltool from exports/xpprt1.def.
set(QV_XPPRT1_IMPORT_DEF ${PROJECT_SOURCE_DIR}/exports/xpprt1.def)
set(QV_XPPRT1_IMPLIB ${CMAKE_BINARY_DIR}/lib/libxpprt1_imports.a)
set(qv_dlltool_scratch ${CMAKE_BINARY_DIR}/dlltool)
file(MAKE_DIRECTORY ${qv_dlltool_scratch})
add_custom_command(
  OUTPUT ${QV_XPPRT1_IMPLIB}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QV_XPPRT1_IMPLIB}
  COMMAND ${QV_DLLTOOL} --deterministic-libraries --temp-prefix xpprt1 --input-def
          ${QV_XPPRT1_IMPORT_DEF} --dllname XPPRT1.dll --output-lib ${QV_XPPRT1_IMPLIB}
  DEPENDS ${QV_XPPRT1_IMPORT_DEF}
  WORKING_DIRECTORY ${qv_dlltool_scratch}
  COMMENT "Import library of XPPRT1.dll from exports/xpprt1.def"
  VERBATIM)
add_custom_target(xpprt1_implib DEPENDS ${QV_XPPRT1_IMPLIB})

add_library(xpprt1_imports INTERFACE)
target_link_libraries(xpprt1_imports INTERFACE ${QV_XPPRT1_IMPLIB})
target_include_directories(xpprt1_imports INTERFACE ${PROJECT_SOURCE_DIR}/xpprt/include)
add_dependencies(xpprt1_imports xpprt1_implib)
