// The library's exports. Each takes the parameter list of one Xbase++ call and sets its
// result through the run-time.
#ifndef QUORVEL_HOST_EXPORTS_H
#define QUORVEL_HOST_EXPORTS_H

#include "host/xpp_api.h"

#define QV_EXPORT extern "C" void XPP_CDECL

QV_EXPORT QVREGEVENTSOURCE(XppParamList pl);
QV_EXPORT QVREPORTEVENT(XppParamList pl);
QV_EXPORT QVDEREGEVENTSOURCE(XppParamList pl);
QV_EXPORT QVOPENEVENTLOG(XppParamList pl);
QV_EXPORT QVCLOSEEVENTLOG(XppParamList pl);
QV_EXPORT QVCLEAREVENTLOG(XppParamList pl);
QV_EXPORT QVQUERYLOGENTRYNUM(XppParamList pl);
QV_EXPORT QVOPENBACKUPEVENTLOG(XppParamList pl);
QV_EXPORT QVQUERYOLDESTLOGENTRY(XppParamList pl);
QV_EXPORT QVEVENTGETLASTERROR(XppParamList pl);
QV_EXPORT QVREADEVENTLOG(XppParamList pl);
QV_EXPORT QVBACKUPEVENTLOG(XppParamList pl);
QV_EXPORT QVCREATEEVENTKEY(XppParamList pl);
QV_EXPORT QVDELEVENTKEY(XppParamList pl);
QV_EXPORT QVCHECKEVENTKEY(XppParamList pl);
QV_EXPORT QVFORMATDATETIME(XppParamList pl);

#endif
