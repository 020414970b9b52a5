# libquorvel.so: every object of the core goes in; only the QV exports are visible.
set(QV_VERSION_SCRIPT ${PROJECT_SOURCE_DIR}/exports/quorvel.map)
target_link_options(quorvel PRIVATE -Wl,--whole-archive $<TARGET_FILE:quorvel_core>
                    -Wl,--no-whole-archive -Wl,--version-script=${QV_VERSION_SCRIPT})
# Every symbol resolved at link time, none of them from the C++ run-time (the module is linked
# as C); sanitizer runtimes resolve some only at load time.
if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  target_link_options(quorvel PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(quorvel PROPERTIES LINK_DEPENDS ${QV_VERSION_SCRIPT})
