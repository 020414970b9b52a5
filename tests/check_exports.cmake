# The shared library's dynamic symbol table defines the twenty-five QV exports and nothing else.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" lines "${symbols}")
set(names "")
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected QVBACKUPEVENTLOG QVCHECKEVENTKEY QVCLEAREVENTLOG QVCLOSEEVENTLOG QVCREATEEVENTKEY
    QVDELEVENTKEY QVDEREGEVENTSOURCE QVEVENTGETLASTERROR QVEVTBOOKMARK QVEVTCHANNELS QVEVTCLOSE QVEVTNEXT
    QVEVTQUERY QVEVTSUBSCRIBE QVFORMATDATETIME QVFORMATEVENTMESSAGE QVOPENBACKUPEVENTLOG QVOPENEVENTLOG QVQUERYLOGENTRYNUM QVQUERYOLDESTLOGENTRY QVREADEVENTLOG
    QVREADEVENTRECORD QVREGEVENTSOURCE QVREPORTEVENT QVWAITEVENTLOG)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
