// Log handles: opening live logs and backup files, closing, counting, backing up, clearing.
#include "host/exports.h"
#include "host/frame.h"

namespace {

typedef BOOL(WINAPI* Query)(HANDLE log, PDWORD result);

// A count or record number of the log, stored into parameter 2 when it is passed by
// reference: the number on success, 0 on failure.
void query_log(XppParamList pl, Query query) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  DWORD result = 0;
  BOOL ok = query(handle, &result);
  if (qv::is_by_reference(_partype(pl, 2)))
    _stornl(ok == TRUE ? static_cast<LONG>(result) : 0, pl, 2);
  _retl(pl, ok);
}

}  // namespace

QV_EXPORT QVOPENEVENTLOG(XppParamList pl) { qv::open_by_name(pl, OpenEventLogA); }

QV_EXPORT QVOPENBACKUPEVENTLOG(XppParamList pl) { qv::open_by_name(pl, OpenBackupEventLogA); }

QV_EXPORT QVCLOSEEVENTLOG(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  _retl(pl, CloseEventLog(handle));
}

QV_EXPORT QVBACKUPEVENTLOG(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  char path[MAX_NAME_BYTES];
  ULONG count = qv::fetch_name(pl, 2, path);
  if (count == 0) {
    _retnl(pl, ERR_MISSING_SECOND);
    return;
  }
  _retl(pl, count != qv::kNameTooLong && BackupEventLogA(handle, path));
}

QV_EXPORT QVCLEAREVENTLOG(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  char path[MAX_NAME_BYTES];
  ULONG count = qv::fetch_name(pl, 2, path);
  _retl(pl, count != qv::kNameTooLong && ClearEventLogA(handle, qv::optional_name(path, count)));
}

QV_EXPORT QVQUERYLOGENTRYNUM(XppParamList pl) { query_log(pl, GetNumberOfEventLogRecords); }

QV_EXPORT QVQUERYOLDESTLOGENTRY(XppParamList pl) { query_log(pl, GetOldestEventLogRecord); }
