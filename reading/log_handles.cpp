// Log handles: opening live logs and backup files, closing, counting, backing up, clearing.
#include "host/exports.h"
#include "host/frame.h"

namespace {

typedef HANDLE(WINAPI* Opener)(LPCSTR server, LPCSTR name);
typedef BOOL(WINAPI* Query)(HANDLE log, PDWORD result);

// Server name (optional) and log name or file path (required), then the opener's handle.
void open_log(XppParamList pl, Opener opener) {
  char server[MAX_NAME_BYTES];
  char name[MAX_NAME_BYTES];
  XppUlong server_count = qv::fetch_name(pl, 1, server);
  if (qv::fetch_name(pl, 2, name) == 0) {
    _retnl(pl, ERR_MISSING_SECOND);
    return;
  }
  HANDLE handle = opener(qv::optional_name(server, server_count), name);
  _retnl(pl, qv::number_from_handle(handle));
}

// A count or record number of the log, stored into parameter 2 when it is passed by
// reference: the number on success, 0 on failure.
void query_log(XppParamList pl, Query query) {
  HANDLE handle = qv::fetch_handle(pl, 1);
  if (handle == nullptr) {
    _retnl(pl, ERR_MISSING_FIRST);
    return;
  }
  DWORD result = 0;
  BOOL ok = query(handle, &result);
  if (qv::is_by_reference(_partype(pl, 2)))
    _stornl(ok == TRUE ? static_cast<XppLong>(result) : 0, pl, 2);
  _retl(pl, ok);
}

}  // namespace

QV_EXPORT QVOPENEVENTLOG(XppParamList pl) { open_log(pl, OpenEventLogA); }

QV_EXPORT QVOPENBACKUPEVENTLOG(XppParamList pl) { open_log(pl, OpenBackupEventLogA); }

QV_EXPORT QVCLOSEEVENTLOG(XppParamList pl) {
  HANDLE handle = qv::fetch_handle(pl, 1);
  if (handle == nullptr) {
    _retnl(pl, ERR_MISSING_FIRST);
    return;
  }
  _retl(pl, CloseEventLog(handle));
}

QV_EXPORT QVBACKUPEVENTLOG(XppParamList pl) {
  HANDLE handle = qv::fetch_handle(pl, 1);
  if (handle == nullptr) {
    _retnl(pl, ERR_MISSING_FIRST);
    return;
  }
  char path[MAX_NAME_BYTES];
  if (qv::fetch_name(pl, 2, path) == 0) {
    _retnl(pl, ERR_MISSING_SECOND);
    return;
  }
  _retl(pl, BackupEventLogA(handle, path));
}

QV_EXPORT QVCLEAREVENTLOG(XppParamList pl) {
  HANDLE handle = qv::fetch_handle(pl, 1);
  if (handle == nullptr) {
    _retnl(pl, ERR_MISSING_FIRST);
    return;
  }
  char path[MAX_NAME_BYTES];
  XppUlong count = qv::fetch_name(pl, 2, path);
  _retl(pl, ClearEventLogA(handle, qv::optional_name(path, count)));
}

QV_EXPORT QVQUERYLOGENTRYNUM(XppParamList pl) { query_log(pl, GetNumberOfEventLogRecords); }

QV_EXPORT QVQUERYOLDESTLOGENTRY(XppParamList pl) { query_log(pl, GetOldestEventLogRecord); }
