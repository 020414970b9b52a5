// WOW64's file-system redirection: where a path leads for the calling thread.
#ifndef QUORVEL_SIM_WOW64_H
#define QUORVEL_SIM_WOW64_H

#include <string>

namespace qvsim::detail {

// The file a path opens for the calling thread of this process: under WOW64 a path under
// the system folder leads to the 32-bit folder, unless the thread turned the redirection
// off. Call with lock() held.
std::string process_view(const char* path);

}  // namespace qvsim::detail

#endif
