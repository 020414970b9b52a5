# The one place that decides the platform, before any target of the library is defined.
#
# On Windows the library links the system's own services and imports the Xbase++ run-time's
# operations from XPPRT1.dll; elsewhere it links the simulated services and the stand-in
# run-time's shared library. What follows from that choice is set here:
#   QV_SERVICES         what the library links for the Windows services
#   QV_SEAM_INCLUDE     where platform/qv_windows.h finds the simulation's declarations
#   QV_RUNTIME          what it links for the run-time's operations
#   QV_MODULE_RULES     how the module is linked: export list, file names, link options
#   QV_MODULE_ENTRY     where the module registers with the run-time as it loads: DllMain,
#                       or load and unload hooks
#   QV_RUNTIME_RULES    how the stand-in run-time's module is named and what it exports
#   QV_QVCALL_LOADER    how qvcall loads the module
#   QV_PLATFORM_TESTS   the tests of this platform's build
#   QV_PLATFORM_EXTRAS  what else this platform builds (benchmarks, fuzzers; the release zip)
if(WIN32)
  include(${PROJECT_SOURCE_DIR}/cmake/Win32Imports.cmake)
  set(QV_SERVICES advapi32 kernel32)
  set(QV_SEAM_INCLUDE "")
  set(QV_RUNTIME xpprt1_imports)
  set(QV_MODULE_RULES ${PROJECT_SOURCE_DIR}/cmake/Win32Library.cmake)
  set(QV_MODULE_ENTRY ${PROJECT_SOURCE_DIR}/exports/entry_dllmain.cpp)
  set(QV_RUNTIME_RULES ${PROJECT_SOURCE_DIR}/cmake/Win32Runtime.cmake)
  set(QV_QVCALL_LOADER library_loader_win32.cpp)
  set(QV_PLATFORM_TESTS tests/win32)
  set(QV_PLATFORM_EXTRAS ${PROJECT_SOURCE_DIR}/cmake/Win32Package.cmake)
else()
  add_subdirectory(platform/sim)
  set(QV_SERVICES qvwinsim)
  set(QV_SEAM_INCLUDE ${PROJECT_SOURCE_DIR}/platform/sim/include)
  set(QV_RUNTIME xpprt1)
  set(QV_MODULE_RULES ${PROJECT_SOURCE_DIR}/cmake/PosixLibrary.cmake)
  set(QV_MODULE_ENTRY ${PROJECT_SOURCE_DIR}/exports/entry_load_hooks.cpp)
  set(QV_RUNTIME_RULES "")
  set(QV_QVCALL_LOADER library_loader_posix.cpp)
  set(QV_PLATFORM_TESTS tests)
  set(QV_PLATFORM_EXTRAS ${PROJECT_SOURCE_DIR}/cmake/PosixExtras.cmake)
endif()
