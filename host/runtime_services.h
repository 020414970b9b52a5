// The Xbase++ run-time's optional services: the thread's character set and its conversions
// (1.9 and later), and the registration of a DLL's functions. Older run-times lack them, so
// they are found by name, once in the process, and never imported.
#ifndef QUORVEL_HOST_RUNTIME_SERVICES_H
#define QUORVEL_HOST_RUNTIME_SERVICES_H

#include "host/xpp_charset.h"
#include "host/xpp_registration.h"

namespace qv {

// Each service, or null where the run-time lacks it.
struct RuntimeServices {
  XppCharSetIsOem charset_is_oem;
  XppConvertCharset to_ansi;
  XppConvertCharset to_oem;
  XppRegisterDll register_dll;
  XppUnRegisterDll unregister_dll;
};

// The services, looked up at the first call; the thread's last error stays as it was.
// Threads that meet at the first lookup find the same functions.
RuntimeServices runtime_services();

}  // namespace qv

#endif
