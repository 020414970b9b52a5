//////////////////////////////////////////////////////////////////////////////
//
//  evdemo.prg - quorvel.dll sample
//
//  Registers an event source, writes an information event to the
//  Application log, then reads the newest records of that log back and
//  shows their times.
//
//  Build:   xpp evdemo.prg
//           alink evdemo.obj quorvel.lib
//  Run:     evdemo.exe, with quorvel.dll beside it or on the PATH.
//
//////////////////////////////////////////////////////////////////////////////

#include "quorvel.ch"

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
RETURN
