// Controls of the simulated event-log service of Windows Vista and later (wevtapi.dll), for
// tests and benchmarks.
//
// Every classic log of the simulation (Application, System, Security and the logs made
// since) is a channel of the same name, whose events are its records as Windows Vista and
// later show them. Further channels are served from .evtx files.
#ifndef QUORVEL_SIM_WEVTAPI_CONTROL_H
#define QUORVEL_SIM_WEVTAPI_CONTROL_H

#include <string>

#include "qvsim/control.h"

namespace qvsim {

// A channel whose events are those of the .evtx file (read when a query opens it), listed by
// the channel enumeration and queried by its name, until reset(). Serving a name again
// replaces its file.
QVSIM_API void serve_channel(const std::string& channel, const std::string& evtx_path);

// hide_module("wevtapi.dll") (control.h) makes the service absent, as on Windows XP.

}  // namespace qvsim

#endif
