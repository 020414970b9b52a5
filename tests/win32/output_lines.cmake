# output_lines(OUT command args...): runs the command (a build tool such as objdump or
# strings) and gives its output as a list, one element per line, with brackets and
# semicolons made harmless for CMake lists. A failing command fails the check.
function(output_lines out_var)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed")
  endif()
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()
