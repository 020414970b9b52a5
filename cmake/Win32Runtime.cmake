# XPPRT1.dll: the stand-in Xbase++ run-time on Windows.
#
# The run-time's operations are exported under their decorated names (__parc, __retnl,
# ...), as quorvel.dll imports them; the list comes from exports/xpprt1.def, the project's
# own definition of what quorvel.dll imports, and the services of the run-times from 1.9 on
# follow. The
# C++ host interface (xpp::call, xpp::Value) that qvcall uses is exported by its dllexport
# attributes.
set_target_properties(xpprt1 PROPERTIES OUTPUT_NAME XPPRT1 PREFIX "")

set(QV_XPPRT1_IMPORT_DEF ${PROJECT_SOURCE_DIR}/exports/xpprt1.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QV_XPPRT1_IMPORT_DEF})
file(STRINGS ${QV_XPPRT1_IMPORT_DEF} qv_import_lines REGEX "^[ \t]*_[A-Za-z0-9_]+[ \t]*==")
set(qv_export_def "; Generated from exports/xpprt1.def: export name = C symbol.\n")
string(APPEND qv_export_def "LIBRARY XPPRT1.dll\nEXPORTS\n")
foreach(line IN LISTS qv_import_lines)
  if(line MATCHES "^[ \t]*([A-Za-z0-9_]+)[ \t]*==[ \t]*([A-Za-z0-9_]+)")
    string(APPEND qv_export_def "  ${CMAKE_MATCH_2} = ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
# Beside them, the services that quorvel.dll looks up by name and never imports, as older
# run-times lack them: the registration of a DLL's functions as it loads
# (xpprt/registration.cpp), the thread's character set and its conversions (xpprt/charset.cpp).
foreach(service conRegisterDll conUnRegisterDll conCharSetIsOem conToAnsiCp conToOemCp)
  string(APPEND qv_export_def "  __${service} = _${service}\n")
endforeach()
set(QV_XPPRT1_EXPORT_DEF ${CMAKE_CURRENT_BINARY_DIR}/xpprt1_exports.def)
file(CONFIGURE OUTPUT ${QV_XPPRT1_EXPORT_DEF} CONTENT "${qv_export_def}" @ONLY)
target_sources(xpprt1 PRIVATE ${QV_XPPRT1_EXPORT_DEF})
