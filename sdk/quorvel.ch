//////////////////////////////////////////////////////////////////////////////
//
//  quorvel.ch
//
//  Constants for Xbase++ programs that call quorvel.dll, the Windows event
//  log library:  #include "quorvel.ch"
//
//////////////////////////////////////////////////////////////////////////////

#ifndef _QUORVEL_CH
#define _QUORVEL_CH

// Status codes: the numeric result of a refused or failed call. They are
// always negative. From the functions that open something, 0 is a failed open
// and any other number is a handle, possibly a negative one: test for 0 (or
// for exactly ERR_MISSING_FIRST and ERR_MISSING_SECOND), never for > 0.
#define ERR_MISSING_FIRST          -1000   // handle 0, or no source name
#define ERR_MISSING_SECOND         -1001   // no name or file path
#define ERR_MISSING_TEXT           -1003   // event strings or raw data not given as
                                           // strings, or beyond Windows' limits; a
                                           // category file without its count
#define ERR_READ_FAILED            -1100   // nothing read (end of log: error 38), or not queried
#define ERR_NO_ARRAY               -1101   // QVREADEVENTLOG: the result array was not created
#define ERR_KEY_FAILED             -1102   // registry key not deleted, or missing

// Event types for QVREPORTEVENT (parameter 2).
#define EVENTLOG_ERROR_TYPE            1
#define EVENTLOG_WARNING_TYPE          2
#define EVENTLOG_INFORMATION_TYPE      4
#define EVENTLOG_AUDIT_SUCCESS         8
#define EVENTLOG_AUDIT_FAILURE        16

// Read flags for QVREADEVENTLOG (parameter 2), added together: one of
// SEQUENTIAL and SEEK, one of FORWARDS and BACKWARDS. 0 means SEEK + FORWARDS.
#define EVENTLOG_SEQUENTIAL_READ       1
#define EVENTLOG_SEEK_READ             2
#define EVENTLOG_FORWARDS_READ         4
#define EVENTLOG_BACKWARDS_READ        8

// Positions in the array of QVREADEVENTRECORD: aRec[QVREC_SOURCE] is the
// name of the source that wrote the event.
#define QVREC_NUMBER                   1   // record number
#define QVREC_TIMEGENERATED            2   // seconds since 1970-01-01 UTC
#define QVREC_TIMEWRITTEN              3   // seconds since 1970-01-01 UTC
#define QVREC_EVENTID                  4   // event identifier, all 32 bits
#define QVREC_TYPE                     5   // event type (EVENTLOG_..._TYPE)
#define QVREC_CATEGORY                 6   // category
#define QVREC_SOURCE                   7   // source name
#define QVREC_COMPUTER                 8   // computer name
#define QVREC_USERSID                  9   // user's SID as "S-1-5-...", "" if none
#define QVREC_DATA                    10   // raw data, its bytes as a string
#define QVREC_STRINGS                 11   // insertion strings, an array
#define QVREC_ELEMENTS                11   // elements in the array

// Flags for QVEVTQUERY (parameter 4) and QVEVTSUBSCRIBE (parameter 5), added together.
#define QVEVT_FILE                     1   // the path is a log file (.evtx), not a channel
#define QVEVT_REVERSE                  2   // newest events first
#define QVEVT_MESSAGES                 4   // each event with its rendered message
#define QVEVT_EXISTING                 8   // QVEVTSUBSCRIBE: the channel's existing events first

// Positions in the array of QVEVTNEXT: aEvent[QVEVT_PROVIDER] is the name of
// the provider that wrote the event.
#define QVEVT_RECORDID                 1   // record id
#define QVEVT_TIME                     2   // time created, seconds since 1970-01-01 UTC
#define QVEVT_SYSTEMTIME               3   // time created as the XML writes it (UTC, 100 ns)
#define QVEVT_EVENTID                  4   // event id, without its qualifiers
#define QVEVT_LEVEL                    5   // 1 critical, 2 error, 3 warning, 4 information
#define QVEVT_TASK                     6   // task (a classic event's category)
#define QVEVT_OPCODE                   7   // opcode
#define QVEVT_KEYWORDS                 8   // keywords as hex text, "0x8000000000000000"
#define QVEVT_PROVIDER                 9   // provider (a classic event's source)
#define QVEVT_CHANNEL                 10   // channel
#define QVEVT_COMPUTER                11   // computer name
#define QVEVT_USERSID                 12   // user's SID as "S-1-5-...", "" if none
#define QVEVT_PROCESSID               13   // process id
#define QVEVT_THREADID                14   // thread id
#define QVEVT_DATA                    15   // the event's data, an array of {cName, cValue}
#define QVEVT_MESSAGE                 16   // rendered message ("" unless QVEVT_MESSAGES)
#define QVEVT_XML                     17   // the whole event as XML
#define QVEVT_ELEMENTS                17   // elements in the array

#endif
