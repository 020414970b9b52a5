# quorvel.lib: the import library for linking an Xbase++ application against quorvel.dll, in
# the short import format that Microsoft's linker and those that follow it read (one import
# object per export), made by llvm-dlltool from the module definition. Its symbols are the
# decorated C names: _QVREADEVENTLOG, __imp__QVREADEVENTLOG, ...
find_program(QV_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(QV_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/lib/quorvel.lib)
add_custom_command(
  OUTPUT ${QV_IMPORT_LIBRARY}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QV_IMPORT_LIBRARY}
  COMMAND ${QV_LLVM_DLLTOOL} -m i386 -D quorvel.dll -d ${QV_MODULE_DEF} -l ${QV_IMPORT_LIBRARY}
  DEPENDS ${QV_MODULE_DEF}
  COMMENT "quorvel.lib from exports/quorvel.def"
  VERBATIM)
add_custom_target(quorvel_import_library ALL DEPENDS ${QV_IMPORT_LIBRARY})
