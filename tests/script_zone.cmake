# A golden script may name its time zone in its first line, "// TZ=<value>"; the script
# then runs with that TZ instead of the default UTC0.
file(STRINGS ${SCRIPT} qv_first_line LIMIT_COUNT 1)
if(qv_first_line MATCHES "^// TZ=(.+)$")
  set(ENV{TZ} "${CMAKE_MATCH_1}")
endif()
