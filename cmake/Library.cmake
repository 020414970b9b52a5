# quorvel: libquorvel.so here, quorvel.dll on Windows. The same sources for both.
set(QV_LIBRARY_SOURCES
  ${PROJECT_SOURCE_DIR}/host/last_error.cpp
  ${PROJECT_SOURCE_DIR}/reading/datetime_format.cpp
  ${PROJECT_SOURCE_DIR}/reading/event_message.cpp
  ${PROJECT_SOURCE_DIR}/reading/event_record.cpp
  ${PROJECT_SOURCE_DIR}/reading/format_datetime.cpp
  ${PROJECT_SOURCE_DIR}/reading/local_time.cpp
  ${PROJECT_SOURCE_DIR}/reading/log_handles.cpp
  ${PROJECT_SOURCE_DIR}/reading/process_zone.cpp
  ${PROJECT_SOURCE_DIR}/reading/record_reader.cpp
  ${PROJECT_SOURCE_DIR}/reading/system_zone.cpp
  ${PROJECT_SOURCE_DIR}/reading/time_zone.cpp
  ${PROJECT_SOURCE_DIR}/resources/description.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_key.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_source.cpp)

# The library's code once, for the shared library and for tests that reach its internals.
add_library(quorvel_core STATIC ${QV_LIBRARY_SOURCES})
set_target_properties(quorvel_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(quorvel_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvel_core PUBLIC xpprt1)
if(NOT WIN32)
  target_link_libraries(quorvel_core PUBLIC qvwinsim)
endif()

add_library(quorvel SHARED ${PROJECT_SOURCE_DIR}/exports/module.cpp)
target_link_libraries(quorvel PRIVATE quorvel_core)

if(WIN32)
  include(${PROJECT_SOURCE_DIR}/cmake/Win32Library.cmake OPTIONAL)
else()
  # Every object of the core goes in; only the QV exports are visible.
  set(QV_VERSION_SCRIPT ${PROJECT_SOURCE_DIR}/exports/quorvel.map)
  target_link_options(quorvel PRIVATE -Wl,--whole-archive $<TARGET_FILE:quorvel_core>
                      -Wl,--no-whole-archive -Wl,--version-script=${QV_VERSION_SCRIPT})
  # Every symbol resolved at link time; sanitizer runtimes resolve some only at load time.
  if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
    target_link_options(quorvel PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(quorvel PROPERTIES LINK_DEPENDS ${QV_VERSION_SCRIPT})
endif()

# The message table (and on Windows its resource in the module).
include(${PROJECT_SOURCE_DIR}/cmake/MessageTable.cmake)
