# Builds the win32 tree a second time from scratch in another folder and checks that the
# files come out byte for byte the same (no time stamps, no build paths).
#
#   cmake -DSOURCE_DIR=... -DTOOLCHAIN=... -DBUILD_TYPE=... -DWORK_DIR=...
#         "-DFILES=a.dll|b.lib|..." -P check_reproducible.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G Ninja
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
          -DQV_BUILD_TESTS=OFF
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring the second build failed:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target quorvel quorvel_import_library xpprt1 -j 2
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the second build failed:\n${output}")
endif()

string(REPLACE "|" ";" files "${FILES}")
set(differ "")
foreach(file IN LISTS files)
  get_filename_component(name ${file} NAME)
  set(again "")
  foreach(dir bin lib)
    if(EXISTS ${WORK_DIR}/${dir}/${name})
      set(again ${WORK_DIR}/${dir}/${name})
    endif()
  endforeach()
  if(again STREQUAL "")
    string(APPEND differ "  ${name}: not built the second time\n")
    continue()
  endif()
  file(SHA256 ${file} first_hash)
  file(SHA256 ${again} second_hash)
  if(NOT first_hash STREQUAL second_hash)
    string(APPEND differ "  ${name}: ${first_hash} vs ${second_hash}\n")
  else()
    message(STATUS "${name}: identical (${first_hash})")
  endif()
endforeach()
if(NOT differ STREQUAL "")
  message(FATAL_ERROR "two builds differ:\n${differ}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
