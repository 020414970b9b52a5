# The module's exports, read once from exports/quorvel.def by cmake/module_definition.py, the
# definition's one reader, for every list the build and the tests make of them:
#   QV_MODULE_DEF       the module definition
#   QV_MODULE_EXPORTS   NAME=ORDINAL for each export, in order
#   generated/module_exports.inc
#                       QV_MODULE_EXPORT(NAME, ORDINAL) for each export, for C++ code that
#                       defines the macro before it includes the file
#   QV_LINKER_DEF       generated/quorvel.def: the definition as the linker is given it, its
#                       LIBRARY and its exports alone (GNU ld takes a ';' after an export for
#                       more exports, not for a comment)
include_guard(GLOBAL)
find_program(QV_PYTHON NAMES python3 python REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(QV_MODULE_DEF ${PROJECT_SOURCE_DIR}/exports/quorvel.def)
set(qv_module_definition_reader ${PROJECT_SOURCE_DIR}/cmake/module_definition.py)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${QV_MODULE_DEF} ${qv_module_definition_reader})
execute_process(COMMAND ${QV_PYTHON} ${qv_module_definition_reader} ${QV_MODULE_DEF}
                OUTPUT_VARIABLE qv_module_definition ERROR_VARIABLE qv_module_definition_error
                RESULT_VARIABLE qv_module_definition_result)
if(NOT qv_module_definition_result EQUAL 0)
  message(FATAL_ERROR "${qv_module_definition_error}")
endif()
string(REGEX MATCH "^[^\n]+" qv_module_dll "${qv_module_definition}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]* [0-9]+\n" qv_export_lines "${qv_module_definition}")
set(QV_MODULE_EXPORTS "")
set(qv_module_exports_inc "// Generated from exports/quorvel.def by cmake/module_definition.py.\n")
set(qv_linker_def "; Generated from exports/quorvel.def by cmake/module_definition.py.\n")
string(APPEND qv_linker_def "LIBRARY ${qv_module_dll}\nEXPORTS\n")
foreach(line IN LISTS qv_export_lines)
  string(REGEX MATCH "^([A-Za-z_][A-Za-z0-9_]*) ([0-9]+)" qv_export "${line}")
  list(APPEND QV_MODULE_EXPORTS "${CMAKE_MATCH_1}=${CMAKE_MATCH_2}")
  string(APPEND qv_module_exports_inc "QV_MODULE_EXPORT(${CMAKE_MATCH_1}, ${CMAKE_MATCH_2})\n")
  string(APPEND qv_linker_def "  ${CMAKE_MATCH_1} @${CMAKE_MATCH_2}\n")
endforeach()
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/module_exports.inc
     CONTENT "${qv_module_exports_inc}" @ONLY)
set(QV_LINKER_DEF ${PROJECT_BINARY_DIR}/generated/quorvel.def)
file(CONFIGURE OUTPUT ${QV_LINKER_DEF} CONTENT "${qv_linker_def}" @ONLY)
