# The release zip for Xbase++ programmers, made by CPack from the win32 build:
#   cmake --build --preset win32 --target package      (or: cd build/win32 && cpack)
# gives build/win32/package/quorvel-VERSION-win32.zip with quorvel.dll, quorvel.lib,
# quorvel.ch, the sample and the usage text. The stand-in XPPRT1.dll and the test tools are
# not part of it: the application brings the real Xbase++ run-time.
install(TARGETS quorvel RUNTIME DESTINATION . COMPONENT sdk)
install(FILES ${QV_IMPORT_LIBRARY} DESTINATION . COMPONENT sdk)
# The text files with Windows line ends.
foreach(file quorvel.ch evdemo.prg README.txt)
  set(source ${PROJECT_SOURCE_DIR}/sdk/${file})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/sdk/${file} "${text}")
  install(FILES ${CMAKE_BINARY_DIR}/sdk/${file} DESTINATION . COMPONENT sdk)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Event-logging dynamic link library for Xbase++")
set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_COMPONENTS_ALL sdk)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
