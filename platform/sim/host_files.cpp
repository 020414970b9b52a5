#include "host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace qvsim::detail {
namespace {

constexpr DWORD kErrorWriteFault = 29;
constexpr DWORD kErrorDiskFull = 112;

// A missing file is "file not found" when its directory exists, else "path not found".
bool directory_of_exists(const char* path) {
  std::string dir(path);
  size_t slash = dir.find_last_of('/');
  if (slash == std::string::npos) return true;
  dir.resize(slash == 0 ? 1 : slash);
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD error_of_open(int error, const char* path) {
  switch (error) {
    case ENOENT:
      return directory_of_exists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

}  // namespace

OpenFile::~OpenFile() {
  if (fd >= 0) ::close(fd);
}

DWORD open_regular_file(const char* path, OpenFile* file) {
  struct stat st;
  if (::stat(path, &st) != 0) return error_of_open(errno, path);
  if (!S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
  file->fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file->fd < 0) return error_of_open(errno, path);
  if (fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
  file->size = static_cast<uint64_t>(st.st_size);
  return ERROR_SUCCESS;
}

bool read_exactly(int fd, uint64_t offset, uint8_t* to, size_t length) {
  while (length > 0) {
    ssize_t n = ::pread(fd, to, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    to += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<size_t>(n);
  }
  return true;
}

DWORD write_new_file(const char* path, const uint8_t* bytes, size_t size) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return ERROR_ALREADY_EXISTS;
    return errno == ENOENT ? ERROR_PATH_NOT_FOUND : error_of_open(errno, path);
  }
  size_t done = 0;
  DWORD error = ERROR_SUCCESS;
  while (done < size) {
    ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = errno == ENOSPC ? kErrorDiskFull : kErrorWriteFault;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && error == ERROR_SUCCESS) error = kErrorWriteFault;
  if (error != ERROR_SUCCESS) ::unlink(path);
  return error;
}

}  // namespace qvsim::detail
