# quorvel.lib: the import library for linking an Xbase++ application against quorvel.dll, made
# from the module definition by cmake/make_import_library.py. It is in the long import format
# that Alaska's linker reads (every import a COFF object, as Microsoft's linkers wrote them up
# to LINK 5), with the plain names the Xbase++ compiler refers to: QVREADEVENTLOG,
# __imp_QVREADEVENTLOG, ...
set(QV_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/lib/quorvel.lib)
set(qv_import_library_script ${PROJECT_SOURCE_DIR}/cmake/make_import_library.py)
add_custom_command(
  OUTPUT ${QV_IMPORT_LIBRARY}
  COMMAND ${QV_PYTHON} ${qv_import_library_script} ${QV_MODULE_DEF} ${QV_IMPORT_LIBRARY}
  DEPENDS ${QV_MODULE_DEF} ${qv_import_library_script}
  COMMENT "quorvel.lib from exports/quorvel.def"
  VERBATIM)
add_custom_target(quorvel_import_library ALL DEPENDS ${QV_IMPORT_LIBRARY})
