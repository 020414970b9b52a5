// A library whose exports break the run-time's rules, for testing that qvcall reports what
// the audit finds.
#include "host/xpp_api.h"

extern "C" __attribute__((visibility("default"))) void QVNORESULT(XppParamList) {}

extern "C" __attribute__((visibility("default"))) void QVLEAKS(XppParamList pl) {
  _conNew(nullptr);
  _retnl(pl, 1);
}
