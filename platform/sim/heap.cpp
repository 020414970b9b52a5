// The process heap. Each block carries its size in front so that a zero-filling
// reallocation can clear exactly the bytes it adds.
#include <cstdlib>
#include <cstring>

#include "sim_state.h"

namespace {

constexpr size_t kHeader = 16;

void* block_of(LPVOID mem) { return static_cast<char*>(mem) - kHeader; }
size_t size_of(LPVOID mem) {
  size_t size;
  std::memcpy(&size, block_of(mem), sizeof size);
  return size;
}

LPVOID publish(void* block, size_t size) {
  std::memcpy(block, &size, sizeof size);
  return static_cast<char*>(block) + kHeader;
}

}  // namespace

extern "C" HANDLE WINAPI GetProcessHeap(void) {
  static int heap;
  return &heap;
}

extern "C" LPVOID WINAPI HeapAlloc(HANDLE, DWORD dwFlags, SIZE_T dwBytes) {
  QVSIM_SILENT_SERVICE(nullptr);
  void* block = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, kHeader + dwBytes)
                                             : std::malloc(kHeader + dwBytes);
  return block == nullptr ? nullptr : publish(block, dwBytes);
}

extern "C" LPVOID WINAPI HeapReAlloc(HANDLE, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
  if (lpMem == nullptr) return nullptr;
  QVSIM_SILENT_SERVICE(nullptr);
  size_t old_size = size_of(lpMem);
  void* block = std::realloc(block_of(lpMem), kHeader + dwBytes);
  if (block == nullptr) return nullptr;
  if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > old_size)
    std::memset(static_cast<char*>(block) + kHeader + old_size, 0, dwBytes - old_size);
  return publish(block, dwBytes);
}

// An injected fault leaves its error as the thread's last error, as a failing HeapFree
// does; the block is freed all the same, so that a test of it leaks nothing.
extern "C" BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID lpMem) {
  DWORD error = 0;
  bool faulted = ::qvsim::detail::take_fault(__func__, &error);
  if (lpMem != nullptr) std::free(block_of(lpMem));
  return faulted ? ::qvsim::detail::fail(error, FALSE) : TRUE;
}
