// Files of the host as the simulated services open, read and write them, with the Windows
// errors for why they cannot.
#ifndef QUORVEL_SIM_HOST_FILES_H
#define QUORVEL_SIM_HOST_FILES_H

#include <cstddef>
#include <cstdint>

#include "windows_sim.h"

namespace qvsim::detail {

// An open file, closed when it goes.
class OpenFile {
 public:
  OpenFile() = default;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile();
  int fd = -1;
  uint64_t size = 0;
};

// A regular file opened for reading, or the Windows error for why it cannot be. Anything
// else (a directory, a named pipe, a device) is refused from its type before it is
// opened, and the opening does not wait, should the path have become one in between.
DWORD open_regular_file(const char* path, OpenFile* file);

// Bytes `length` from `offset` of the file, read whole; false when the file ends before.
bool read_exactly(int fd, uint64_t offset, uint8_t* to, size_t length);

// A new file with these bytes; an existing file is left as it is. A file that could not
// be written whole is removed again.
DWORD write_new_file(const char* path, const uint8_t* bytes, size_t size);

}  // namespace qvsim::detail

#endif
