# The module's message table: every identifier from 1 to 1000 renders as its first insertion
# string. The resource data is generated at build time by resources/make_message_table.py
# into the build tree (QV_MESSAGE_TABLE_FILE); on Windows it is embedded in quorvel.dll as
# resource type 11 (MESSAGETABLE), name 1, language 1033 (English, United States), by
# cmake/Win32Library.cmake.
include_guard(GLOBAL)

# The build machine's Python, also when cross-compiling.
find_program(QV_PYTHON NAMES python3 python REQUIRED NO_CMAKE_FIND_ROOT_PATH)

set(QV_MESSAGE_TABLE_SCRIPT ${PROJECT_SOURCE_DIR}/resources/make_message_table.py)
set(QV_MESSAGE_TABLE_FILE ${PROJECT_BINARY_DIR}/resources/message_table.bin)
add_custom_command(
  OUTPUT ${QV_MESSAGE_TABLE_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources
  COMMAND ${QV_PYTHON} ${QV_MESSAGE_TABLE_SCRIPT} ${QV_MESSAGE_TABLE_FILE}
  DEPENDS ${QV_MESSAGE_TABLE_SCRIPT}
  COMMENT "Generating the message table"
  VERBATIM)
add_custom_target(qv_message_table ALL DEPENDS ${QV_MESSAGE_TABLE_FILE})

# Lets a target (a test program) read the generated data: QV_MESSAGE_TABLE_FILE names it.
function(qv_use_message_table target)
  add_dependencies(${target} qv_message_table)
  target_compile_definitions(${target} PRIVATE QV_MESSAGE_TABLE_FILE="${QV_MESSAGE_TABLE_FILE}")
endfunction()
