//////////////////////////////////////////////////////////////////////////////
//
//  evdemo.prg - quorvel.dll sample
//
//  Registers an event source, writes an information event to the
//  Application log, then reads the newest records of that log back and
//  shows their times; then shows the newest records of the System log with
//  their source and their message as the Event Viewer shows it.
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

   ShowSystemLog(5)
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
