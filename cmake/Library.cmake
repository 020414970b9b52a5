# quorvel: libquorvel.so here, quorvel.dll on Windows. The same sources for both.
file(GLOB QV_LIBRARY_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/host/*.cpp
  ${PROJECT_SOURCE_DIR}/writing/*.cpp
  ${PROJECT_SOURCE_DIR}/reading/*.cpp
  ${PROJECT_SOURCE_DIR}/resources/*.cpp)

add_library(quorvel SHARED ${QV_LIBRARY_SOURCES})
target_include_directories(quorvel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvel PRIVATE xpprt1)

if(WIN32)
  include(${PROJECT_SOURCE_DIR}/cmake/Win32Library.cmake OPTIONAL)
else()
  target_link_libraries(quorvel PRIVATE qvwinsim)
  # Only the QV exports are visible.
  set(QV_VERSION_SCRIPT ${PROJECT_SOURCE_DIR}/exports/quorvel.map)
  target_link_options(quorvel PRIVATE -Wl,--version-script=${QV_VERSION_SCRIPT} -Wl,--no-undefined)
  set_target_properties(quorvel PROPERTIES LINK_DEPENDS ${QV_VERSION_SCRIPT})
endif()
