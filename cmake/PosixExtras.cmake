# Beside the library on this platform: qvbench and the libFuzzer targets.
if(QV_BUILD_BENCHMARKS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tools/qvbench ${PROJECT_BINARY_DIR}/tools/qvbench)
endif()
if(QV_BUILD_FUZZERS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/fuzz ${PROJECT_BINARY_DIR}/fuzz)
endif()
