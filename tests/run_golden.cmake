# Runs one golden qvcall script and compares its output with the expected file; qvcall's
# switches, if any, in QVCALL_ARGS.
include(${CMAKE_CURRENT_LIST_DIR}/script_zone.cmake)
execute_process(COMMAND ${QVCALL} ${QVCALL_ARGS} ${SCRIPT} OUTPUT_VARIABLE actual ERROR_VARIABLE errors
                RESULT_VARIABLE status)
include(${CMAKE_CURRENT_LIST_DIR}/script_charset.cmake)
file(READ ${EXPECTED} expected)
string(REPLACE "\r\n" "\n" actual "${actual}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "qvcall exited with ${status}:\n${errors}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "output differs from ${EXPECTED}\n--- expected\n${expected}--- actual\n${actual}")
endif()
