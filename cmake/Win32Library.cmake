# quorvel.dll: the library's core in a 32-bit Windows DLL.
#
# - Every object of quorvel_core goes in; the exports are exactly those of the module
#   definition exports/quorvel.def, by name and with their ordinals, as its one reader gives
#   them to the linker (cmake/ModuleDefinition.cmake).
# - Linked as C, with libgcc static: nothing of the C++ run-time or of a threads library is
#   in the DLL, which imports only from XPPRT1.dll and the system's KERNEL32, ADVAPI32 and
#   msvcrt (tests/win32/allowed_imports.txt lists every function).
# - No time stamp (toolchain file), no build paths, no symbol table: a build elsewhere
#   gives the same bytes.
# - quorvel.lib, the import library for linking an Xbase++ application, is made from the same
#   module definition in the long import format that Alaska's linker reads
#   (cmake/ImportLibrary.cmake).
# Built for size (-O2 gives about 10 KiB more), and without build paths in the binary, so
# that a build elsewhere gives the same bytes.
foreach(target quorvel_core quorvel)
  target_compile_options(${target} PRIVATE -Os -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                                           -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endforeach()

target_sources(quorvel PRIVATE ${QV_LINKER_DEF})
set_target_properties(quorvel PROPERTIES
  OUTPUT_NAME quorvel
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".dll.a")
# Stripped: the symbol table would carry the names of the objects' files.
target_link_options(quorvel PRIVATE -Wl,--whole-archive $<TARGET_FILE:quorvel_core>
                    -Wl,--no-whole-archive -static-libgcc -s)

# The message table as resource type 11, name 1, language 1033.
enable_language(RC)
set(QV_MESSAGE_TABLE_RC ${PROJECT_BINARY_DIR}/resources/message_table.rc)
file(CONFIGURE OUTPUT ${QV_MESSAGE_TABLE_RC} CONTENT
"LANGUAGE 9, 1
1 MESSAGETABLE \"${QV_MESSAGE_TABLE_FILE}\"
" @ONLY)
target_sources(quorvel PRIVATE ${QV_MESSAGE_TABLE_RC})
set_source_files_properties(${QV_MESSAGE_TABLE_RC} PROPERTIES OBJECT_DEPENDS
                                                              ${QV_MESSAGE_TABLE_FILE})
add_dependencies(quorvel qv_message_table)

include(${PROJECT_SOURCE_DIR}/cmake/ImportLibrary.cmake)
