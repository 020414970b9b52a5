// Shared by the event-log tests: a fresh simulation, a temporary directory, and the
// exports called as an Xbase++ program calls them.
#ifndef QUORVEL_TESTS_EVENTLOG_FIXTURE_H
#define QUORVEL_TESTS_EVENTLOG_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "qvsim/control.h"
#include "qvsim/eventlog_control.h"
#include "xpprt/host.h"

namespace qvtest {

using xpp::Value;

// A file of tests/data. One that is missing ends the test with a failure naming it.
inline std::string testdata(const std::string& name) {
  std::string path = std::string(QV_TESTDATA_DIR) + "/" + name;
  if (!std::filesystem::is_regular_file(path))
    throw std::runtime_error("test data file missing: " + path);
  return path;
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// One export call; the run-time's audit must find nothing wrong with it.
inline Value run(xpp::ExportFn fn, const std::vector<xpp::Arg>& args) {
  xpp::CallResult r = xpp::call(fn, args);
  EXPECT_EQ(r.results_set, 1);
  for (const std::string& v : r.violations) ADD_FAILURE() << "audit: " << v;
  return r.value;
}

inline double number(const Value& v) {
  EXPECT_TRUE(v.is_number()) << xpp::to_literal(v);
  return v.number;
}

inline double last_error() { return number(run(QVEVENTGETLASTERROR, {})); }

// A record as the tests write it.
inline qvsim::RecordView event(uint32_t id, std::vector<std::u16string> strings = {u"text"},
                               std::vector<uint8_t> data = {}, std::vector<uint8_t> sid = {}) {
  qvsim::RecordView r;
  r.time_generated = 1100000000;
  r.time_written = 1100000001;
  r.event_id = id;
  r.event_type = 4;
  r.category = 3;
  r.source = "TestSource";
  r.strings = std::move(strings);
  r.data = std::move(data);
  r.sid = std::move(sid);
  return r;
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvsim::reset();
    std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  double open(const std::string& log) {
    return number(run(QVOPENEVENTLOG, {xpp::absent(), Value::str(log)}));
  }
  double open_backup(const std::string& file) {
    return number(run(QVOPENBACKUPEVENTLOG, {xpp::absent(), Value::str(file)}));
  }
  Value read(double handle, double flags, double record = 0) {
    return run(QVREADEVENTLOG, {Value::num(handle), Value::num(flags), Value::num(record)});
  }
  // Every record a handle reads with these flags, until the read fails.
  std::vector<Value> read_all(double handle, double flags) {
    std::vector<Value> records;
    for (;;) {
      Value r = read(handle, flags);
      if (!r.is_array()) break;
      records.push_back(r);
    }
    return records;
  }

  std::filesystem::path dir_;
};

}  // namespace qvtest

#endif
