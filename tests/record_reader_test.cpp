// QVREADEVENTLOG: the record array, the two reads, and every way the read can fail.
#include <cstring>

#include "eventlog_fixture.h"

namespace {

using namespace qvtest;
using xpp::absent;

constexpr double kSequentialForwards = 5;
constexpr double kSeekForwards = 6;

class RecordReader : public EventLogTest {};

std::vector<Value> strings_of(const Value& record) {
  return {record.items.begin() + 7, record.items.end()};
}

TEST_F(RecordReader, ArrayHasNumStringsPlusSevenElements) {
  struct Case {
    std::vector<std::u16string> strings;
    std::vector<Value> expected;
  };
  const Case cases[] = {
      {{}, {}},
      {{u"one", u"two", u"three"}, {Value::str("one"), Value::str("two"), Value::str("three")}},
      {{u"first", u"", u"third"}, {Value::str("first"), Value::str(""), Value::str("third")}},
      {{u"", u""}, {Value::str(""), Value::str("")}},
      // Windows-1252 for the caller; what it cannot hold becomes '?'.
      {{u"caf\u00e9 \u20ac \u4e2d"}, {Value::str("caf\xe9 \x80 ?")}},
  };
  for (const Case& c : cases) {
    uint32_t n = qvsim::write_record("Application", event(7, c.strings, {1, 2, 3}));
    double h = open("Application");
    Value r = read(h, kSeekForwards, n);
    ASSERT_TRUE(r.is_array());
    ASSERT_EQ(r.items.size(), 7 + c.strings.size());
    EXPECT_EQ(r.items[5], Value::num(static_cast<double>(c.strings.size())));
    EXPECT_EQ(strings_of(r), c.expected);
  }
}

// The 32-bit fields pass bit for bit as signed numbers, the 16-bit ones widened with zeros.
TEST_F(RecordReader, NumbersKeepAllTheirBits) {
  qvsim::RecordView r = event(0xC0000005u, {u"x"});
  r.time_generated = 0x80000000u;
  r.time_written = 0xFFFFFFFFu;
  r.event_type = 0xFFFF;
  r.category = 0x8001;
  uint32_t n = qvsim::write_record("System", r);
  Value got = read(open("System"), kSeekForwards, n);
  ASSERT_TRUE(got.is_array());
  const std::vector<Value> expected = {Value::num(n),     Value::num(-2147483648.0),
                                       Value::num(-1),    Value::num(-1073741819),
                                       Value::num(65535), Value::num(1),
                                       Value::num(32769), Value::str("x")};
  EXPECT_EQ(got.items, expected);
}

TEST_F(RecordReader, EventWrittenByTheLibraryReadsBack) {
  qvsim::set_clock(1100043200);
  double src = number(run(QVREGEVENTSOURCE, {absent(), Value::str("MyApp")}));
  ASSERT_GT(src, 0);
  run(QVREPORTEVENT, {Value::num(src), Value::num(2), Value::num(70000), Value::str("Hello")});
  Value r = read(open("Application"), kSequentialForwards);
  const std::vector<Value> expected = {
      Value::num(1), Value::num(1100043200), Value::num(1100043200), Value::num(4464),
      Value::num(2), Value::num(1),          Value::num(0),          Value::str("Hello")};
  EXPECT_EQ(r.items, expected);
}

TEST_F(RecordReader, SequentialReadWalksToTheEnd) {
  for (uint32_t id : {10, 20, 30}) qvsim::write_record("Application", event(id));
  double h = open("Application");
  for (double id : {10, 20, 30}) {
    Value r = read(h, kSequentialForwards);
    ASSERT_TRUE(r.is_array());
    EXPECT_EQ(r.items[3], Value::num(id));
  }
  EXPECT_EQ(read(h, kSequentialForwards), Value::num(ERR_READ_FAILED));
  EXPECT_EQ(last_error(), 38);
  // The end stays the end.
  EXPECT_EQ(read(h, kSequentialForwards), Value::num(ERR_READ_FAILED));
  EXPECT_EQ(last_error(), 38);
}

// Absent flags and record number fetch as 0: a seek forwards to record 0, which no log has.
TEST_F(RecordReader, AbsentParametersSeekRecordZero) {
  qvsim::write_record("Application", event(1));
  qvsim::write_record("Application", event(2));
  double h = open("Application");
  EXPECT_EQ(run(QVREADEVENTLOG, {Value::num(h)}), Value::num(ERR_READ_FAILED));
  EXPECT_EQ(last_error(), 87);
  Value r = run(QVREADEVENTLOG, {Value::num(h), absent(), Value::num(2)});
  ASSERT_TRUE(r.is_array());
  EXPECT_EQ(r.items[0], Value::num(2));
}

// The first read learns the size; the buffer grows once to exactly that size.
TEST_F(RecordReader, TwoReadsPerRecordWithTheExactSize) {
  qvsim::RecordView e = event(1, {u"a string of some length", u"another"}, {9, 9, 9}, {1, 0});
  e.computer = qvsim::computer_name();
  qvsim::write_record("Application", e);
  double h = open("Application");
  uint32_t before = qvsim::read_calls();
  ASSERT_TRUE(read(h, kSequentialForwards).is_array());
  EXPECT_EQ(qvsim::read_calls() - before, 2u);
  EXPECT_EQ(qvsim::last_read_buffer_size(), qvsim::ansi_record_size(e));
}

TEST_F(RecordReader, SecondReadFailingIsNotRetried) {
  qvsim::write_record("Application", event(1));
  double h = open("Application");
  for (uint32_t error : {122u, 1503u}) {
    qvsim::fail_read_call(1, error);
    uint32_t before = qvsim::read_calls();
    EXPECT_EQ(read(h, kSequentialForwards), Value::num(ERR_READ_FAILED));
    EXPECT_EQ(qvsim::read_calls() - before, 2u);
    EXPECT_EQ(last_error(), error);
  }
}

TEST_F(RecordReader, AllocationFailureFailsTheRead) {
  qvsim::write_record("Application", event(1));
  double h = open("Application");
  for (const char* service : {"HeapAlloc", "HeapReAlloc"}) {
    qvsim::fail_next(service, 8);
    EXPECT_EQ(read(h, kSequentialForwards), Value::num(ERR_READ_FAILED)) << service;
    EXPECT_EQ(last_error(), 8) << service;
  }
  // Nothing was consumed: the record is still the next one.
  Value r = read(h, kSequentialForwards);
  ASSERT_TRUE(r.is_array());
  EXPECT_EQ(r.items[0], Value::num(1));
}

TEST_F(RecordReader, MissingArrayOrContainer) {
  qvsim::write_record("Application", event(1, {u"a", u"b"}));
  double h = open("Application");
  for (int which = 0; which < 2; ++which) {
    if (which == 0) xpp::fail_con_new_array(1);
    if (which == 1) xpp::fail_con_new(1);
    EXPECT_EQ(read(h, kSeekForwards, 1), Value::num(ERR_NO_ARRAY));
    EXPECT_EQ(xpp::live_containers(), 0);
  }
}

// A backup file whose record claims more strings than it holds: the strings end where the
// data begin, and those beyond are empty.
TEST_F(RecordReader, DamagedRecordIsCutAtItsEnd) {
  qvsim::write_record("Application", event(1, {u"x"}, {'A', 'B', 'C', 'D'}));
  double h = open("Application");
  ASSERT_EQ(run(QVBACKUPEVENTLOG, {Value::num(h), Value::str(path("a.evt"))}),
            Value::boolean(true));
  std::vector<uint8_t> file = read_bytes(path("a.evt"));
  for (uint16_t claimed : {4, 40}) {
    file[48 + 26] = static_cast<uint8_t>(claimed);
    std::string damaged = path("damaged" + std::to_string(claimed) + ".evt");
    write_bytes(damaged, file);
    Value r = read(open_backup(damaged), kSeekForwards, 1);
    ASSERT_TRUE(r.is_array());
    ASSERT_EQ(r.items.size(), 7u + claimed);
    std::vector<Value> expected(claimed, Value::str(""));
    expected[0] = Value::str("x");
    EXPECT_EQ(strings_of(r), expected);
  }
}

// A record as Windows delivers it: the fixed part, `body` from offset 56 on, the closing
// length. The first read of a record longer than the 56-byte buffer fails with 122.
struct RecordBytes {
  uint16_t num_strings = 1;
  uint32_t string_offset = 56;
  std::string body;
  uint32_t sid_length = 0, sid_offset = 0, data_length = 0, data_offset = 0;
};

std::vector<uint8_t> bytes_of(const RecordBytes& r) {
  EVENTLOGRECORD fixed = {};
  fixed.Length = static_cast<DWORD>(sizeof fixed + r.body.size() + 4);
  fixed.Reserved = 0x654C664C;  // "LfLe"
  fixed.RecordNumber = 1;
  fixed.EventType = 4;
  fixed.NumStrings = r.num_strings;
  fixed.StringOffset = r.string_offset;
  fixed.UserSidLength = r.sid_length;
  fixed.UserSidOffset = r.sid_offset;
  fixed.DataLength = r.data_length;
  fixed.DataOffset = r.data_offset;
  std::vector<uint8_t> bytes(fixed.Length);
  std::memcpy(bytes.data(), &fixed, sizeof fixed);
  std::memcpy(bytes.data() + sizeof fixed, r.body.data(), r.body.size());
  std::memcpy(bytes.data() + fixed.Length - 4, &fixed.Length, 4);
  return bytes;
}

struct Delivery {
  std::vector<uint8_t> bytes;
  uint32_t needed;  // reported when the buffer is too small for them
};

// Reads as they are answered, and the strings of the record read.
struct DamagedRecord {
  std::string name;
  std::vector<Delivery> reads;
  std::vector<std::string> strings;
};

void PrintTo(const DamagedRecord& c, std::ostream* os) { *os << c.name; }

// Just the fixed part of a record without strings.
std::vector<uint8_t> fixed_part_only() {
  std::vector<uint8_t> bytes = bytes_of({0, 56, ""});
  bytes.resize(sizeof(EVENTLOGRECORD));
  return bytes;
}

// The record's first read learns its size, the second delivers it.
std::vector<Delivery> twice(const RecordBytes& r) {
  std::vector<uint8_t> bytes = bytes_of(r);
  uint32_t size = static_cast<uint32_t>(bytes.size());
  return {{bytes, size}, {bytes, size}};
}

class DamagedRecords : public EventLogTest, public ::testing::WithParamInterface<DamagedRecord> {};

TEST_P(DamagedRecords, ReadWithinTheirParts) {
  const DamagedRecord& c = GetParam();
  double h = open("Application");
  for (const Delivery& d : c.reads) qvsim::deliver_next_read(d.bytes, d.needed);
  Value r = read(h, kSeekForwards, 1);
  ASSERT_TRUE(r.is_array()) << xpp::to_literal(r);
  std::vector<Value> expected;
  for (const std::string& text : c.strings) expected.push_back(Value::str(text));
  EXPECT_EQ(xpp::to_literal(Value::array(strings_of(r))), xpp::to_literal(Value::array(expected)));
}

std::string case_name(const ::testing::TestParamInfo<DamagedRecord>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    RecordReader, DamagedRecords,
    ::testing::Values(
        // Windows asking for less than the fixed part: the buffer still holds the fixed part.
        DamagedRecord{
            "NeededBelowTheFixedPart",
            {{bytes_of({1, 56, std::string("abcdefgh\0", 9)}), 8}, {fixed_part_only(), 56}},
            {}},
        // A string offset inside the fixed part, or beyond the record, gives empty strings.
        DamagedRecord{"StringOffsetZero", twice({1, 0, std::string("abcd\0", 5)}), {""}},
        DamagedRecord{"StringOffsetFour", twice({1, 4, std::string("abcd\0", 5)}), {""}},
        DamagedRecord{
            "StringOffsetBeyondTheRecord", twice({1, 0xFFFFFFFFu, "ABCD", 0, 0, 4, 56}), {""}},
        // The strings end where the parts after them begin.
        DamagedRecord{"StringsEndAtTheData",
                      twice({2, 56, std::string("x\0ABCD", 6), 0, 0, 4, 58}),
                      {"x", ""}},
        DamagedRecord{
            "StringsEndAtTheSid", twice({2, 56, std::string("x\0SSSS", 6), 4, 58}), {"x", ""}},
        DamagedRecord{"SidBeforeTheStringsCutsNothing",
                      twice({2, 60, std::string("SSSSa\0b\0", 8), 4, 56, 0, 56}),
                      {"a", "b"}},
        // A string without its terminator ends where the closing length begins.
        DamagedRecord{"CutStringEndsAtTheClosingLength", twice({1, 56, "abc"}), {"abc"}},
        DamagedRecord{"CutStringEndsAtTheData", twice({1, 56, "abcABCD", 0, 0, 4, 59}), {"abc"}}),
    case_name);

}  // namespace
