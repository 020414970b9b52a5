# quorvel: libquorvel.so here, quorvel.dll on Windows. The same sources for both.
# time/, from the bottom up (each file uses only those before it): calendar.h, zone.h,
# daylight.cpp, posix_tz.cpp, system_zone.cpp, process_zone.cpp, local_time.h,
# expansion.cpp, format_export.cpp.
set(QV_LIBRARY_SOURCES
  ${PROJECT_SOURCE_DIR}/exports/registration.cpp
  ${PROJECT_SOURCE_DIR}/host/charset.cpp
  ${PROJECT_SOURCE_DIR}/host/last_error.cpp
  ${PROJECT_SOURCE_DIR}/host/runtime_services.cpp
  ${PROJECT_SOURCE_DIR}/reading/event_message.cpp
  ${PROJECT_SOURCE_DIR}/reading/event_record.cpp
  ${PROJECT_SOURCE_DIR}/reading/event_xml.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_bookmark.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_next.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_parameters.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_queries.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_query.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_render.cpp
  ${PROJECT_SOURCE_DIR}/reading/evt_subscribe.cpp
  ${PROJECT_SOURCE_DIR}/reading/log_handles.cpp
  ${PROJECT_SOURCE_DIR}/reading/message_loader.cpp
  ${PROJECT_SOURCE_DIR}/reading/record_reader.cpp
  ${PROJECT_SOURCE_DIR}/reading/wait_event_log.cpp
  ${PROJECT_SOURCE_DIR}/reading/wevtapi.cpp
  ${PROJECT_SOURCE_DIR}/reading/wide_text.cpp
  ${PROJECT_SOURCE_DIR}/resources/description.cpp
  ${PROJECT_SOURCE_DIR}/time/daylight.cpp
  ${PROJECT_SOURCE_DIR}/time/posix_tz.cpp
  ${PROJECT_SOURCE_DIR}/time/system_zone.cpp
  ${PROJECT_SOURCE_DIR}/time/process_zone.cpp
  ${PROJECT_SOURCE_DIR}/time/expansion.cpp
  ${PROJECT_SOURCE_DIR}/time/format_export.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_key.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_log_key.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_source.cpp
  ${PROJECT_SOURCE_DIR}/writing/event_strings.cpp)

# The library's code once, for the shared library and for tests that reach its internals.
# It is plain code: no exceptions, no RTTI, no guarded statics, nothing of the C++ run-time.
add_library(quorvel_core STATIC ${QV_LIBRARY_SOURCES})
set_target_properties(quorvel_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(quorvel_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvel_core PUBLIC ${QV_RUNTIME} ${QV_SERVICES})

# The functions the module registers with the run-time as it loads: every export of the
# module definition, so that a new export is registered without a change of code.
include(${PROJECT_SOURCE_DIR}/cmake/ModuleDefinition.cmake)
target_include_directories(quorvel_core PRIVATE ${PROJECT_BINARY_DIR}/generated)

add_library(quorvel SHARED ${PROJECT_SOURCE_DIR}/exports/module.cpp ${QV_MODULE_ENTRY})
target_link_libraries(quorvel PRIVATE quorvel_core)
# The module is linked as C: a reference to the C++ run-time fails the link.
set_target_properties(quorvel PROPERTIES LINKER_LANGUAGE C)
foreach(target quorvel_core quorvel)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-threadsafe-statics
                                           -fno-asynchronous-unwind-tables)
endforeach()
include(${PROJECT_SOURCE_DIR}/cmake/MessageTable.cmake)
include(${QV_MODULE_RULES})
