//////////////////////////////////////////////////////////////////////////////
//
//  evdemo.prg - quorvel.dll sample
//
//  Registers an event source, writes an information event to the
//  Application log, then reads the newest records of that log back and
//  shows their times; then writes an event as an application with its own
//  message file does (three strings, a category, raw data) and renders it
//  back; then shows the newest records of the System log with
//  their source and their message as the Event Viewer shows it; then, on
//  Windows Vista and later, the errors of the last 24 hours of the System
//  channel with their messages and data; then follows the Application log for
//  a minute, showing each event written to it, and carries on after the last
//  one shown when it runs again; then, on Windows Vista and later, watches the
//  Application channel for a minute the same way, from a stored bookmark.
//
//  Build:   xpp evdemo.prg
//           alink evdemo.obj          (the #pragma below names quorvel.lib)
//  Run:     evdemo.exe, with quorvel.dll beside it or on the PATH.
//
//////////////////////////////////////////////////////////////////////////////

#include "quorvel.ch"
#pragma Library("quorvel.lib")

PROCEDURE Main
   LOCAL nSource, nLog, aRec, nError, nCount := 0, nShown := 0, cError := ""

   // Write one event. 0 is a failed open; any other number is a handle, which
   // may be negative, so a handle is never tested for > 0.
   nSource := QVREGEVENTSOURCE("", "QuorvelDemo")
   IF nSource == 0
      ? "QVREGEVENTSOURCE failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   IF .NOT. QVREPORTEVENT(nSource, EVENTLOG_INFORMATION_TYPE, 1, "Hello from Xbase++")
      ? "QVREPORTEVENT failed:", QVEVENTGETLASTERROR(@cError), cError
   ENDIF
   QVDEREGEVENTSOURCE(nSource)

   // Read the log back, newest record first.
   nLog := QVOPENEVENTLOG("", "Application")
   IF nLog == 0
      ? "QVOPENEVENTLOG failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   QVQUERYLOGENTRYNUM(nLog, @nCount)
   ? "Records in the Application log:", nCount

   DO WHILE nShown < 5
      aRec := QVREADEVENTLOG(nLog, EVENTLOG_SEQUENTIAL_READ + EVENTLOG_BACKWARDS_READ, 0)
      IF ValType(aRec) <> "A"
         // ERR_READ_FAILED; at the end of the log the error is 38.
         nError := QVEVENTGETLASTERROR(@cError)
         IF nError <> 38
            ? "QVREADEVENTLOG failed:", aRec, nError, cError
         ENDIF
         EXIT
      ENDIF
      nShown++
      // aRec: number, time generated, time written, event id, type,
      //       string count, category, then the strings.
      ? aRec[1], QVFORMATDATETIME(aRec[2], "%Y-%m-%d %H:%M:%S"), ;
        "type", aRec[5], "event", aRec[4]
      IF aRec[6] > 0
         ?? " ", aRec[8]
      ENDIF
   ENDDO

   QVCLOSEEVENTLOG(nLog)

   CopyFailed("orders.dbf", "D:\backup", "disk full", "ORD" + Chr(0) + Chr(7))
   ShowSystemLog(5)
   ShowRecentErrors("System", 5)
   FollowLog("Application", "evdemo.pos", 60)
   WatchChannel("Application", "evdemo.xml", 60)
RETURN


// An application with a message file of its own, compiled with Microsoft's
// message compiler from a .mc file such as
//     MessageId=1
//     Language=English
//     Backup
//     .
//     MessageId=2
//     Language=English
//     Copy
//     .
//     MessageId=100
//     Language=English
//     File %1 could not be copied to %2 (%3).
//     .
// and linked into a DLL (evdemomsg.dll) that holds only its resources. Its
// source's key names the file for the events and for the two categories
// (this takes administrator rights). Without that file quorvel.dll stands
// in, whose messages are each the event's first string.
PROCEDURE CopyFailed(cFile, cTarget, cReason, cRecord)
   LOCAL cMessages, nKey, nSource, nLog, aRec, cError := ""

   cMessages := "quorvel.dll"
   IF File("evdemomsg.dll")
      cMessages := CurDrive() + ":\" + CurDir() + "\evdemomsg.dll"
   ENDIF
   nKey := QVCREATEEVENTKEY("QuorvelDemoCopy", cMessages, .T., , cMessages, 2)
   IF nKey <> 0
      ? "QVCREATEEVENTKEY failed:", nKey, "(5: run it as administrator)"
   ENDIF
   nSource := QVREGEVENTSOURCE("", "QuorvelDemoCopy")
   IF nSource == 0
      ? "QVREGEVENTSOURCE failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   // %1 to %3 of message 100, category 2 (Copy), and the record's bytes as
   // raw data, which the Event Viewer shows in the event's details.
   IF .NOT. QVREPORTEVENT(nSource, EVENTLOG_ERROR_TYPE, 100, ;
                          {cFile, cTarget, cReason}, 2, cRecord)
      ? "QVREPORTEVENT failed:", QVEVENTGETLASTERROR(@cError), cError
   ENDIF
   QVDEREGEVENTSOURCE(nSource)

   // Read it back, the newest record, and render it as the Event Viewer does.
   nLog := QVOPENEVENTLOG("", "Application")
   aRec := QVREADEVENTRECORD(nLog, EVENTLOG_SEQUENTIAL_READ + EVENTLOG_BACKWARDS_READ, 0)
   IF ValType(aRec) == "A"
      ? "Event", aRec[QVREC_EVENTID], "from", aRec[QVREC_SOURCE]
      ? "   Message: ", QVFORMATEVENTMESSAGE("Application", aRec[QVREC_SOURCE], ;
                                           aRec[QVREC_EVENTID], aRec[QVREC_STRINGS])
      ? "   Category:", QVFORMATEVENTMESSAGE("Application", aRec[QVREC_SOURCE], ;
                                           aRec[QVREC_CATEGORY], , .T.)
      ? "   Data:    ", Len(aRec[QVREC_DATA]), "bytes"
   ENDIF
   QVCLOSEEVENTLOG(nLog)
RETURN


// The newest records of the System log: time, source, and the message
// rendered from the message files that the source's registry key names.
PROCEDURE ShowSystemLog(nMax)
   LOCAL nLog, aRec, cText, nShown := 0, cError := ""

   nLog := QVOPENEVENTLOG("", "System")
   IF nLog == 0
      ? "QVOPENEVENTLOG failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   ? "Newest records of the System log:"
   DO WHILE nShown < nMax
      aRec := QVREADEVENTRECORD(nLog, EVENTLOG_SEQUENTIAL_READ + EVENTLOG_BACKWARDS_READ, 0)
      IF ValType(aRec) <> "A"
         EXIT
      ENDIF
      nShown++
      cText := QVFORMATEVENTMESSAGE("System", aRec[QVREC_SOURCE], ;
                                    aRec[QVREC_EVENTID], aRec[QVREC_STRINGS])
      IF Empty(cText)
         // No message file has it: show the strings, as the Event Viewer does.
         cText := "(no message " + LTrim(Str(QVEVENTGETLASTERROR())) + ")"
         AEval(aRec[QVREC_STRINGS], {|c| cText += " " + c})
      ENDIF
      ? QVFORMATDATETIME(aRec[QVREC_TIMEGENERATED], "%Y-%m-%d %H:%M:%S"), ;
        aRec[QVREC_SOURCE], aRec[QVREC_EVENTID]
      ? "   ", cText
   ENDDO
   QVCLOSEEVENTLOG(nLog)
RETURN


// The newest errors of the last 24 hours of a channel (Windows Vista and
// later): the service filters them, newest first, each with its message and
// the named values of its data.
PROCEDURE ShowRecentErrors(cChannel, nMax)
   LOCAL nQuery, aEvent, nShown := 0, cError := ""

   nQuery := QVEVTQUERY("", cChannel, ;
      "*[System[(Level=1 or Level=2) and TimeCreated[timediff(@SystemTime) <= 86400000]]]", ;
      QVEVT_REVERSE + QVEVT_MESSAGES)
   IF nQuery == 0
      // 120: Windows XP or Server 2003, which have no channels.
      ? "QVEVTQUERY failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   ? "Errors of the last 24 hours in", cChannel + ":"
   aEvent := QVEVTNEXT(nQuery)
   DO WHILE ValType(aEvent) == "A" .AND. nShown < nMax
      nShown++
      ? QVFORMATDATETIME(aEvent[QVEVT_TIME], "%Y-%m-%d %H:%M:%S"), ;
        aEvent[QVEVT_PROVIDER], aEvent[QVEVT_EVENTID]
      ? "   ", aEvent[QVEVT_MESSAGE]
      AEval(aEvent[QVEVT_DATA], {|aPair| QOut("    ", aPair[1], "=", aPair[2])})
      aEvent := QVEVTNEXT(nQuery)
   ENDDO
   // NIL at the end (error 259), ERR_READ_FAILED when a read failed.
   QVEVTCLOSE(nQuery)
RETURN


// Follows a log for nSeconds: shows each record written to it once, in
// order. The number of the last record shown is kept in cPosFile, so that
// the next run carries on after it, losing and repeating nothing; the first
// run starts with what is written from then on.
PROCEDURE FollowLog(cLog, cPosFile, nSeconds)
   LOCAL nLog, nLast, nNewest, aRec, nError, nEnd, cError := ""

   nLog := QVOPENEVENTLOG("", cLog)
   IF nLog == 0
      ? "QVOPENEVENTLOG failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   IF File(cPosFile)
      nLast := Val(MemoRead(cPosFile))
   ELSE
      nLast := QVWAITEVENTLOG(nLog, 0)          // the newest record now
   ENDIF
   ? "Following the", cLog, "log; write events to see them here."
   nEnd := Seconds() + nSeconds
   DO WHILE Seconds() < nEnd
      // Blocks this thread for up to a second, and returns as soon as the
      // newest record number is no longer nLast. A program with a user
      // interface runs this loop in a thread of its own.
      nNewest := QVWAITEVENTLOG(nLog, nLast, 1000)
      DO CASE
      CASE nNewest == ERR_MISSING_FIRST .OR. nNewest == ERR_READ_FAILED
         ? "QVWAITEVENTLOG failed:", QVEVENTGETLASTERROR(@cError), cError
         EXIT
      CASE nNewest < nLast
         // The number went down: the log was cleared. A handle open while
         // its log is cleared reads no more: open it again.
         QVCLOSEEVENTLOG(nLog)
         nLog := QVOPENEVENTLOG("", cLog)
         nLast := FromOldest(nLog)
      CASE nNewest > nLast
         // Forwards from the record after the last one shown: a seek read,
         // then sequential reads up to the end of the log.
         aRec := QVREADEVENTLOG(nLog, EVENTLOG_SEEK_READ + EVENTLOG_FORWARDS_READ, ;
                                nLast + 1)
         DO WHILE ValType(aRec) == "A"
            ? aRec[1], QVFORMATDATETIME(aRec[3], "%H:%M:%S"), ;
              "type", aRec[5], "event", aRec[4]
            IF aRec[6] > 0
               ?? " ", aRec[8]
            ENDIF
            nLast := aRec[1]
            MemoWrit(cPosFile, LTrim(Str(nLast)))
            aRec := QVREADEVENTLOG(nLog, EVENTLOG_SEQUENTIAL_READ + EVENTLOG_FORWARDS_READ, 0)
         ENDDO
         nError := QVEVENTGETLASTERROR()
         DO CASE
         CASE nError == 87
            // Record nLast + 1 is gone: the log overwrote it (it wrapped)
            // or was cleared. Go on from the oldest record.
            nLast := FromOldest(nLog)
         CASE nError == 1503
            // The log was cleared since the handle was opened.
            QVCLOSEEVENTLOG(nLog)
            nLog := QVOPENEVENTLOG("", cLog)
         ENDCASE
         // Otherwise 38: the end of the log, everything new was shown.
      ENDCASE
   ENDDO
   QVCLOSEEVENTLOG(nLog)
RETURN


// Where to go on from when the records after the last one shown are gone:
// just before the oldest record (0 for an empty log).
FUNCTION FromOldest(nLog)
   LOCAL nOldest := 0
   QVQUERYOLDESTLOGENTRY(nLog, @nOldest)
RETURN Max(nOldest - 1, 0)


// Watches a channel for nSeconds: shows each event that comes once, in
// order. The bookmark of the last event shown is kept in cBookmarkFile, so
// that the next run carries on after it; the first run starts with what is
// written from then on.
PROCEDURE WatchChannel(cChannel, cBookmarkFile, nSeconds)
   LOCAL nSub, aEvent, nEnd, cBookmark := "", cError := ""

   IF File(cBookmarkFile)
      cBookmark := MemoRead(cBookmarkFile)
   ENDIF
   nSub := QVEVTSUBSCRIBE("", cChannel, "*", cBookmark)
   IF nSub == 0
      // 120 on Windows XP and Server 2003, which have no channels.
      ? "QVEVTSUBSCRIBE failed:", QVEVENTGETLASTERROR(@cError), cError
      RETURN
   ENDIF
   IF QVEVENTGETLASTERROR() == 1168
      // The bookmarked event is gone (the log was cleared or overwritten):
      // the subscription goes on after the closest one, some may be missed.
      ? "The bookmarked event is no longer in the log: events may be missing."
   ENDIF
   ? "Watching the", cChannel, "channel; write events to see them here."
   nEnd := Seconds() + nSeconds
   DO WHILE Seconds() < nEnd
      // Blocks this thread for up to a second, and returns as soon as an
      // event comes; NIL when none came.
      aEvent := QVEVTNEXT(nSub, 1000)
      IF ValType(aEvent) == "A"
         ? aEvent[QVEVT_RECORDID], ;
           QVFORMATDATETIME(aEvent[QVEVT_TIME], "%H:%M:%S"), ;
           aEvent[QVEVT_PROVIDER], "event", aEvent[QVEVT_EVENTID]
         MemoWrit(cBookmarkFile, QVEVTBOOKMARK(nSub))
      ELSEIF aEvent == ERR_READ_FAILED
         ? "QVEVTNEXT failed:", QVEVENTGETLASTERROR(@cError), cError
         EXIT
      ENDIF
   ENDDO
   QVEVTCLOSE(nSub)
RETURN
