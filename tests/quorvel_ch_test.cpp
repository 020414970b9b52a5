// sdk/quorvel.ch, the include file for Xbase++ programs, against the library's own
// constants: every #define in it has the value of the constant of the same name, and every
// constant a programmer needs is there.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "host/status.h"
#include "reading/event_record.h"
#include "reading/evt_event.h"
#include "windows_sim.h"

namespace {

struct Constant {
  const char* name;
  long value;
};

#define QV_CONSTANT(name) \
  { #name, static_cast < long>(name) }

const Constant kStatusCodes[] = {
    QV_CONSTANT(ERR_MISSING_FIRST), QV_CONSTANT(ERR_MISSING_SECOND), QV_CONSTANT(ERR_MISSING_TEXT),
    QV_CONSTANT(ERR_READ_FAILED),   QV_CONSTANT(ERR_NO_ARRAY),       QV_CONSTANT(ERR_KEY_FAILED),
};

const Constant kEventTypes[] = {
    QV_CONSTANT(EVENTLOG_ERROR_TYPE),       QV_CONSTANT(EVENTLOG_WARNING_TYPE),
    QV_CONSTANT(EVENTLOG_INFORMATION_TYPE), QV_CONSTANT(EVENTLOG_AUDIT_SUCCESS),
    QV_CONSTANT(EVENTLOG_AUDIT_FAILURE),
};

const Constant kReadFlags[] = {
    QV_CONSTANT(EVENTLOG_SEQUENTIAL_READ),
    QV_CONSTANT(EVENTLOG_SEEK_READ),
    QV_CONSTANT(EVENTLOG_FORWARDS_READ),
    QV_CONSTANT(EVENTLOG_BACKWARDS_READ),
};

const Constant kRecordPositions[] = {
    QV_CONSTANT(QVREC_NUMBER),  QV_CONSTANT(QVREC_TIMEGENERATED), QV_CONSTANT(QVREC_TIMEWRITTEN),
    QV_CONSTANT(QVREC_EVENTID), QV_CONSTANT(QVREC_TYPE),          QV_CONSTANT(QVREC_CATEGORY),
    QV_CONSTANT(QVREC_SOURCE),  QV_CONSTANT(QVREC_COMPUTER),      QV_CONSTANT(QVREC_USERSID),
    QV_CONSTANT(QVREC_DATA),    QV_CONSTANT(QVREC_STRINGS),       QV_CONSTANT(QVREC_ELEMENTS),
};

const Constant kQueryFlagsAndEventPositions[] = {
    QV_CONSTANT(QVEVT_FILE),       QV_CONSTANT(QVEVT_REVERSE),   QV_CONSTANT(QVEVT_MESSAGES),
    QV_CONSTANT(QVEVT_EXISTING),   QV_CONSTANT(QVEVT_RECORDID),  QV_CONSTANT(QVEVT_TIME),
    QV_CONSTANT(QVEVT_SYSTEMTIME), QV_CONSTANT(QVEVT_EVENTID),   QV_CONSTANT(QVEVT_LEVEL),
    QV_CONSTANT(QVEVT_TASK),       QV_CONSTANT(QVEVT_OPCODE),    QV_CONSTANT(QVEVT_KEYWORDS),
    QV_CONSTANT(QVEVT_PROVIDER),   QV_CONSTANT(QVEVT_CHANNEL),   QV_CONSTANT(QVEVT_COMPUTER),
    QV_CONSTANT(QVEVT_USERSID),    QV_CONSTANT(QVEVT_PROCESSID), QV_CONSTANT(QVEVT_THREADID),
    QV_CONSTANT(QVEVT_DATA),       QV_CONSTANT(QVEVT_MESSAGE),   QV_CONSTANT(QVEVT_XML),
    QV_CONSTANT(QVEVT_ELEMENTS),
};

#undef QV_CONSTANT

// The #define NAME VALUE lines of the include file; a define without a value (the include
// guard) maps to an empty text.
std::map<std::string, std::string> read_defines() {
  std::ifstream in(QV_SOURCE_DIR "/sdk/quorvel.ch");
  EXPECT_TRUE(in.good()) << "cannot read sdk/quorvel.ch";
  std::map<std::string, std::string> defines;
  const std::regex define(R"(^\s*#define\s+(\w+)(?:\s+(\S+))?\s*(//.*)?$)");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch m;
    if (std::regex_match(line, m, define)) {
      EXPECT_EQ(defines.count(m[1]), 0u) << m[1] << " is defined twice";
      defines[m[1]] = m[2];
    }
  }
  return defines;
}

class QuorvelChTest : public ::testing::Test {
 protected:
  void expect_all(const Constant* begin, const Constant* end) {
    for (const Constant* c = begin; c != end; ++c) {
      auto found = defines_.find(c->name);
      if (found == defines_.end()) {
        ADD_FAILURE() << c->name << " is missing from quorvel.ch";
        continue;
      }
      EXPECT_EQ(found->second, std::to_string(c->value)) << c->name;
      defines_.erase(found);
    }
  }
  std::map<std::string, std::string> defines_ = read_defines();
};

TEST_F(QuorvelChTest, StatusCodesAreTheLibrarys) {
  expect_all(std::begin(kStatusCodes), std::end(kStatusCodes));
}

TEST_F(QuorvelChTest, EventTypesAreWindows) {
  expect_all(std::begin(kEventTypes), std::end(kEventTypes));
}

TEST_F(QuorvelChTest, ReadFlagsAreWindows) {
  expect_all(std::begin(kReadFlags), std::end(kReadFlags));
}

TEST_F(QuorvelChTest, RecordPositionsAreTheLibrarys) {
  expect_all(std::begin(kRecordPositions), std::end(kRecordPositions));
}

TEST_F(QuorvelChTest, QueryFlagsAndEventPositionsAreTheLibrarys) {
  expect_all(std::begin(kQueryFlagsAndEventPositions), std::end(kQueryFlagsAndEventPositions));
}

TEST_F(QuorvelChTest, DefinesNothingElseButItsGuard) {
  expect_all(std::begin(kRecordPositions), std::end(kRecordPositions));
  expect_all(std::begin(kQueryFlagsAndEventPositions), std::end(kQueryFlagsAndEventPositions));
  expect_all(std::begin(kStatusCodes), std::end(kStatusCodes));
  expect_all(std::begin(kEventTypes), std::end(kEventTypes));
  expect_all(std::begin(kReadFlags), std::end(kReadFlags));
  ASSERT_EQ(defines_.size(), 1u);
  EXPECT_EQ(defines_.begin()->first, "_QUORVEL_CH");
  EXPECT_EQ(defines_.begin()->second, "");
}

}  // namespace
