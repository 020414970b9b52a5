# Checks the resources and the description of quorvel.dll as the tools show them:
# - objdump -p: the resource directory holds one type, 11 (message table), with one name, 1,
#   in one language, 1033, whose data is as long as the generated table; no version
#   resource (type 16) or any other;
# - strings: the two lines of the module description, the event-logging dynamic link library
#   for Xbase++ and its version, 1.0.
#
#   cmake -DOBJDUMP=... -DSTRINGS=... -DDLL=quorvel.dll -DTABLE=message_table.bin
#         -P check_resources.cmake
cmake_minimum_required(VERSION 3.25)
set(problems "")
macro(problem text)
  string(APPEND problems "  ${text}\n")
endmacro()

include(${CMAKE_CURRENT_LIST_DIR}/output_lines.cmake)
output_lines(lines ${OBJDUMP} -p ${DLL})

# The resource directory: type, name and language entries by their depth (the indentation
# after the offset), and the leaves' sizes.
set(in_directory FALSE)
set(types "")
set(names "")
set(languages "")
set(leaf_sizes "")
foreach(line IN LISTS lines)
  if(line MATCHES "^The \\.rsrc Resource Directory section:")
    set(in_directory TRUE)
  elseif(in_directory AND line STREQUAL "")
    break()
  elseif(in_directory AND line MATCHES "^[0-9a-f]+( +)Entry: (ID|Name): (.+), Value:")
    string(LENGTH "${CMAKE_MATCH_1}" depth)
    set(id "${CMAKE_MATCH_3}")
    if(CMAKE_MATCH_2 STREQUAL "ID")
      math(EXPR id "${id}")
    endif()
    if(depth EQUAL 3)
      list(APPEND types "${id}")
    elseif(depth EQUAL 5)
      list(APPEND names "${id}")
    elseif(depth EQUAL 7)
      list(APPEND languages "${id}")
    else()
      problem("unexpected entry: ${line}")
    endif()
  elseif(in_directory AND line MATCHES "Leaf: Addr: 0x[0-9a-f]+, Size: (0x[0-9a-f]+)")
    math(EXPR size "${CMAKE_MATCH_1}")
    list(APPEND leaf_sizes ${size})
  endif()
endforeach()

if(NOT in_directory)
  problem("objdump shows no resource directory")
endif()
if(NOT types STREQUAL "11")
  problem("resource types '${types}', expected only 11 (message table)")
endif()
if("16" IN_LIST types)
  problem("a version resource (type 16)")
endif()
if(NOT names STREQUAL "1")
  problem("resource names '${names}', expected 1")
endif()
if(NOT languages STREQUAL "1033")
  problem("resource languages '${languages}', expected 1033")
endif()
file(SIZE ${TABLE} table_size)
if(NOT leaf_sizes STREQUAL "${table_size}")
  problem("resource data of '${leaf_sizes}' bytes, the generated table has ${table_size}")
endif()

# The description: two lines as strings shows them.
output_lines(strings_lines ${STRINGS} ${DLL})
set(description "")
set(version "")
foreach(line IN LISTS strings_lines)
  if(line MATCHES "event-logging dynamic link library for Xbase\\+\\+")
    list(APPEND description "${line}")
  elseif(line MATCHES "[Vv]ersion.*1\\.0" AND NOT line MATCHES "[0-9.]1\\.0|1\\.0[0-9.]")
    list(APPEND version "${line}")
  endif()
endforeach()
list(LENGTH description n_description)
list(LENGTH version n_version)
if(NOT n_description EQUAL 1)
  problem("strings shows ${n_description} lines naming the event-logging dynamic link library "
          "for Xbase++, expected one: '${description}'")
endif()
if(NOT n_version EQUAL 1)
  problem("strings shows ${n_version} lines giving version 1.0, expected one: '${version}'")
endif()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "resource check failed:\n${problems}")
endif()
message(STATUS "quorvel.dll: one resource, message table 1 in language 1033 (${table_size} "
               "bytes), no version resource; description '${description}' / '${version}'")
