// Any file opened as an event-log backup and read through the exports in every direction:
// a clear failure or records, never a crash or a read out of bounds.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/exports.h"
#include "qvsim/control.h"
#include "xpprt/host.h"

namespace {

const std::string& file_path() {
  static const std::string path = [] {
    char pattern[] = "/tmp/qvfuzz-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) abort();
    close(fd);
    return std::string(pattern);
  }();
  return path;
}

void read_all(const xpp::Value& handle, double flags, size_t limit) {
  for (size_t i = 0; i < limit; ++i) {
    xpp::CallResult r = xpp::call(QVREADEVENTLOG, {handle, xpp::Value::num(flags)});
    if (!r.violations.empty()) abort();
    if (!r.value.is_array()) return;
    if (r.value.items.size() < 7) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvsim::reset();
  FILE* f = fopen(file_path().c_str(), "wb");
  if (f == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  fclose(f);

  xpp::CallResult opened =
      xpp::call(QVOPENBACKUPEVENTLOG, {xpp::absent(), xpp::Value::str(file_path())});
  if (!opened.value.is_number() || opened.value.number == 0) return 0;
  xpp::Value handle = opened.value;
  // A record takes at least 60 bytes of the file: more reads than that means a loop.
  size_t limit = size / 60 + 2;
  read_all(handle, 5, limit);
  read_all(handle, 9, limit);
  xpp::Value count = xpp::Value::nil(), oldest = xpp::Value::nil();
  xpp::call(QVQUERYLOGENTRYNUM, {handle, xpp::by_ref(count)});
  xpp::call(QVQUERYOLDESTLOGENTRY, {handle, xpp::by_ref(oldest)});
  for (double n : {oldest.number, oldest.number + 1, oldest.number + count.number - 1})
    xpp::call(QVREADEVENTLOG, {handle, xpp::Value::num(6), xpp::Value::num(n)});
  xpp::call(QVCLOSEEVENTLOG, {handle});
  return 0;
}
