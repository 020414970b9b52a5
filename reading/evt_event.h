// The event of the event log of Windows Vista and later as an Xbase++ array (QVEVTNEXT), and
// the flags of a query (QVEVTQUERY) or subscription (QVEVTSUBSCRIBE).
#ifndef QUORVEL_READING_EVT_EVENT_H
#define QUORVEL_READING_EVT_EVENT_H

// Flags of QVEVTQUERY and QVEVTSUBSCRIBE, added together.
#define QVEVT_FILE 1      // the path names a log file, not a channel
#define QVEVT_REVERSE 2   // newest first
#define QVEVT_MESSAGES 4  // each event with its rendered message
#define QVEVT_EXISTING 8  // a subscription reads the channel's existing events first

// Positions in the array of QVEVTNEXT.
#define QVEVT_RECORDID 1    // the event's record id
#define QVEVT_TIME 2        // time created, seconds since 1970-01-01 UTC
#define QVEVT_SYSTEMTIME 3  // time created as the XML writes it: UTC, 100 ns
#define QVEVT_EVENTID 4     // event id, without its qualifiers
#define QVEVT_LEVEL 5
#define QVEVT_TASK 6
#define QVEVT_OPCODE 7
#define QVEVT_KEYWORDS 8  // hex text, "0x8000000000000000"
#define QVEVT_PROVIDER 9
#define QVEVT_CHANNEL 10
#define QVEVT_COMPUTER 11
#define QVEVT_USERSID 12  // "S-1-5-...", "" when none
#define QVEVT_PROCESSID 13
#define QVEVT_THREADID 14
#define QVEVT_DATA 15     // the event's data, an array of {cName, cValue}
#define QVEVT_MESSAGE 16  // the rendered message, "" unless asked for or when none is found
#define QVEVT_XML 17      // the whole event as XML
#define QVEVT_ELEMENTS 17

#endif
