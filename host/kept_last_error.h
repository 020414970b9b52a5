// The calling thread's last Windows error kept across work that may change it, and set
// back as the scope ends: for the module's own bookkeeping, which the caller's error must
// not see.
#ifndef QUORVEL_HOST_KEPT_LAST_ERROR_H
#define QUORVEL_HOST_KEPT_LAST_ERROR_H

#include "platform/qv_windows.h"

namespace qv {

class KeptLastError {
 public:
  KeptLastError() : error_(GetLastError()) {}
  ~KeptLastError() { SetLastError(error_); }
  KeptLastError(const KeptLastError&) = delete;
  KeptLastError& operator=(const KeptLastError&) = delete;

 private:
  DWORD error_;
};

}  // namespace qv

#endif
