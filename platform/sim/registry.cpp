// The registry of the local machine.
#include "eventlog_store.h"

namespace qvsim::detail {

std::string log_of_source(const std::string&) { return "Application"; }

}  // namespace qvsim::detail
