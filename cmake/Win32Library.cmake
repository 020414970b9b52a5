# quorvel.dll: the library's core in a 32-bit Windows DLL.
#
# - Every object of quorvel_core goes in; the exports are exactly those of the module
#   definition exports/quorvel.def, by name and with their ordinals.
# - The run-time's operations are imported from XPPRT1.dll under their decorated names
#   (__parc, ...) through an import library made here with dlltool from exports/xpprt1.def.
# - libgcc, libstdc++ and winpthread are linked statically (see the toolchain file), so the
#   DLL imports only from XPPRT1.dll and the system's KERNEL32, ADVAPI32 and msvcrt.
# - No time stamp (toolchain file), no build paths, no symbol table: a build elsewhere
#   gives the same bytes.
# - quorvel.lib, the import library for linking an Xbase++ application, comes from the
#   linker, made from the same module definition.
set(QV_MODULE_DEF ${PROJECT_SOURCE_DIR}/exports/quorvel.def)
set(QV_XPPRT1_IMPORT_DEF ${PROJECT_SOURCE_DIR}/exports/xpprt1.def)

# The import library of the run-time's operations.
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
add_dependencies(xpprt1_imports xpprt1_implib xpprt1)

# The core links the operations through that import library instead of the stand-in
# run-time's own (which exports them under other symbol names).
foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
  get_target_property(qv_libs quorvel_core ${property})
  list(TRANSFORM qv_libs REPLACE "^xpprt1$" xpprt1_imports)
  set_target_properties(quorvel_core PROPERTIES ${property} "${qv_libs}")
endforeach()

# No build paths in the binary, so that a build elsewhere gives the same bytes.
foreach(target quorvel_core quorvel)
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                                           -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endforeach()

target_sources(quorvel PRIVATE ${QV_MODULE_DEF})
set_target_properties(quorvel PROPERTIES
  OUTPUT_NAME quorvel
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".lib")
# Stripped: the symbol table would carry the names of the objects' files, and the debug
# sections come only from the static run-time libraries.
target_link_options(quorvel PRIVATE -Wl,--whole-archive $<TARGET_FILE:quorvel_core>
                    -Wl,--no-whole-archive -s)
