# A golden script run in an OEM program (QVXPP_CHARSET=OEM) gives NAME.oem.out where that
# exists: what the caller sees of texts that crossed to Windows' ANSI code page and back.
if("$ENV{QVXPP_CHARSET}" STREQUAL "OEM")
  string(REGEX REPLACE "\\.out$" ".oem.out" qv_oem_expected "${EXPECTED}")
  string(REGEX REPLACE "\\.wine\\.oem\\.out$" ".oem.out" qv_oem_expected "${qv_oem_expected}")
  if(EXISTS ${qv_oem_expected})
    set(EXPECTED ${qv_oem_expected})
  endif()
endif()
