# Runs a program of the win32 build under Wine, in a private prefix.
#
#   -DMODE=boot                      create or update the prefix (first start: wineboot)
#   -DMODE=run -DPROGRAM=X.exe       run it; its exit status is the test's
#             [-DFILE_ARGS=a|b]      with these files of the build machine as arguments,
#                                    each given as its Windows path (winepath -w)
#   -DMODE=golden -DPROGRAM=qvcall.exe -DSCRIPT=NAME.qv -DEXPECTED=NAME.out
#                 -DWINE_EXPECTED=NAME.wine.out
#                                    run the script; compare with NAME.wine.out where it
#                                    exists, else NAME.out
#                 [-DQVCALL_ARGS=-d] with qvcall's switches
#   -DMODE=wow64 -DPROGRAM=qvcall.exe -DMESSAGE_FILE=quorvel.dll
#                                    in a 64-bit prefix: the message file placed only in the
#                                    64-bit system folder, then only in SysWOW64, rendered
#                                    through a key naming %SystemRoot%\System32
#   -DWINEPREFIX=DIR                 the prefix (in the build tree)
#   -DWINEARCH=win32|win64           the kind of prefix (32-bit Windows, or 64-bit Windows
#                                    with WOW64 for 32-bit programs)
#
# Without Wine the test fails when CI=true and is reported skipped otherwise. On a machine
# that cannot start 32-bit programs (the answer of probe_wine32.cmake in the file named by
# QV_WINE32_PROBE) it is reported skipped, also when CI=true.
cmake_minimum_required(VERSION 3.25)
find_program(WINE NAMES wine)
if(NOT WINE)
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "wine is not installed: the Windows tests cannot run (CI=true)")
  endif()
  message(STATUS "SKIPPED: wine is not installed, so this Windows test did not run")
  return()
endif()
if(EXISTS "$ENV{QV_WINE32_PROBE}")
  file(STRINGS "$ENV{QV_WINE32_PROBE}" probe LIMIT_COUNT 1)
  if(probe MATCHES "^no: (.*)")
    message(STATUS "SKIPPED: ${CMAKE_MATCH_1}, so this Windows test did not run")
    return()
  endif()
endif()

set(ENV{WINEPREFIX} "${WINEPREFIX}")
if(DEFINED WINEARCH)
  set(ENV{WINEARCH} "${WINEARCH}")
endif()
set(ENV{WINEDEBUG} "-all")
# No Mono or Gecko installer on the first start.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
if("$ENV{TZ}" STREQUAL "")
  set(ENV{TZ} "UTC0")
endif()

# Runs a program in the prefix: execute_process's arguments, its results in `status`,
# `output` or `actual`, and `errors`. A wineserver that ends on its own, idle, just as the
# program connects leaves it with "wine client error"; the program then never ran, and runs
# once more.
function(execute_in_wine)
  execute_process(${ARGN})
  if(errors MATCHES "wine client error")
    message(STATUS "the wineserver went away as the program started; running it once more")
    execute_process(${ARGN})
  endif()
  foreach(result status output actual errors)
    set(${result} "${${result}}" PARENT_SCOPE)
  endforeach()
endfunction()

if(MODE STREQUAL "boot")
  # The first start of a new prefix takes a while (about 15 to 60 seconds).
  execute_process(COMMAND ${WINE} wineboot --init RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 280)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wineboot failed (${status}):\n${output}")
  endif()
  message(STATUS "Wine prefix ready: ${WINEPREFIX}")
  return()
endif()

if(MODE STREQUAL "run")
  get_filename_component(dir ${PROGRAM} DIRECTORY)
  set(arguments "")
  if(DEFINED FILE_ARGS)
    find_program(WINEPATH NAMES winepath REQUIRED)
    string(REPLACE "|" ";" files "${FILE_ARGS}")
    foreach(file IN LISTS files)
      execute_process(COMMAND ${WINEPATH} -w ${file} RESULT_VARIABLE status
                      OUTPUT_VARIABLE windows_path ERROR_VARIABLE errors
                      OUTPUT_STRIP_TRAILING_WHITESPACE TIMEOUT 60)
      if(NOT status EQUAL 0 OR windows_path STREQUAL "")
        message(FATAL_ERROR "winepath -w ${file} failed (${status}):\n${errors}")
      endif()
      list(APPEND arguments "${windows_path}")
    endforeach()
  endif()
  execute_in_wine(COMMAND ${WINE} ${PROGRAM} ${arguments} WORKING_DIRECTORY ${dir}
                  RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 150)
  string(REPLACE "\r\n" "\n" output "${output}")
  message("${output}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} exited with ${status}\n${errors}")
  endif()
  return()
endif()

if(MODE STREQUAL "golden")
  include(${CMAKE_CURRENT_LIST_DIR}/../script_zone.cmake)
  # The script by its plain name from its own folder: no Unix path reaches the program.
  get_filename_component(dir ${SCRIPT} DIRECTORY)
  get_filename_component(file ${SCRIPT} NAME)
  execute_in_wine(COMMAND ${WINE} ${PROGRAM} ${QVCALL_ARGS} ${file} WORKING_DIRECTORY ${dir}
                  RESULT_VARIABLE status OUTPUT_VARIABLE actual ERROR_VARIABLE errors
                  TIMEOUT 150)
  if(EXISTS ${WINE_EXPECTED})
    set(EXPECTED ${WINE_EXPECTED})
  endif()
  include(${CMAKE_CURRENT_LIST_DIR}/../script_charset.cmake)
  file(READ ${EXPECTED} expected)
  string(REPLACE "\r\n" "\n" actual "${actual}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "qvcall.exe exited with ${status}:\n${errors}")
  endif()
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR
            "output differs from ${EXPECTED}\n--- expected\n${expected}--- actual\n${actual}")
  endif()
  return()
endif()

if(MODE STREQUAL "wow64")
  # The key names the file in System32; a 32-bit program reaches that folder only with
  # WOW64's redirection turned off, and SysWOW64 with it on.
  set(system32 ${WINEPREFIX}/drive_c/windows/system32)
  set(syswow64 ${WINEPREFIX}/drive_c/windows/syswow64)
  if(NOT IS_DIRECTORY ${syswow64})
    message(FATAL_ERROR "${WINEPREFIX} is not a 64-bit prefix: it has no syswow64")
  endif()
  set(file qvwow64.dll)
  get_filename_component(dir ${PROGRAM} DIRECTORY)
  foreach(place system32 syswow64 nowhere)
    file(REMOVE ${system32}/${file} ${syswow64}/${file})
    set(statements -e "QVCREATEEVENTKEY('QvWow64', '%SystemRoot%\\System32\\${file}')"
                   -e "QVFORMATEVENTMESSAGE('Application', 'QvWow64', 7, {'rendered'})")
    if(place STREQUAL "nowhere")
      list(APPEND statements -e "QVEVENTGETLASTERROR()")
      set(expected "0\n\"\"\n2\n0\n")
    else()
      file(COPY_FILE ${MESSAGE_FILE} ${${place}}/${file})
      set(expected "0\n\"rendered\"+Chr(13)+Chr(10)\n0\n")
    endif()
    list(APPEND statements -e "QVDELEVENTKEY('QvWow64')")
    execute_in_wine(COMMAND ${WINE} ${PROGRAM} ${statements} WORKING_DIRECTORY ${dir}
                    RESULT_VARIABLE status OUTPUT_VARIABLE actual ERROR_VARIABLE errors
                    TIMEOUT 150)
    file(REMOVE ${system32}/${file} ${syswow64}/${file})
    string(REPLACE "\r\n" "\n" actual "${actual}")
    if(NOT status EQUAL 0 OR NOT actual STREQUAL expected)
      message(FATAL_ERROR "the message file only in ${place}: qvcall.exe exited with ${status}"
                          "\n--- expected\n${expected}--- actual\n${actual}${errors}")
    endif()
    message(STATUS "the message file only in ${place}: as expected")
  endforeach()
  return()
endif()

message(FATAL_ERROR "unknown MODE '${MODE}'")
