// kernel32's event objects, as the simulated services signal them.
#ifndef QUORVEL_SIM_EVENT_OBJECTS_H
#define QUORVEL_SIM_EVENT_OBJECTS_H

#include "windows_sim.h"

namespace qvsim::detail {

// Sets the event, as SetEvent does but without its injected faults: a service's own signal.
// False when the handle is no event object.
bool signal_event(HANDLE event);

}  // namespace qvsim::detail

#endif
