// QVREADEVENTRECORD: the whole record, and damaged records whose parts point elsewhere.
#include <cstring>

#include "eventlog_fixture.h"
#include "host/frame.h"
#include "reading/event_record.h"

namespace {

using namespace qvtest;

constexpr double kSeekForwards = 6;

// Positions of the record array (as quorvel.ch names them).
enum { kSource = 6, kComputer, kUserSid, kData, kStrings };

// A SID as LookupAccountNameA gives it: S-1-5-21-1-2-3-1001.
const std::vector<uint8_t> kSid = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0,    0, 1, 0,
                                   0, 0, 2, 0, 0, 0, 3, 0, 0,  0, 0xE9, 3, 0, 0};

Value strings(std::vector<std::string> texts) {
  std::vector<Value> items;
  for (std::string& t : texts) items.push_back(Value::str(std::move(t)));
  return Value::array(std::move(items));
}

class EventRecord : public EventLogTest {
 protected:
  Value read_record(double handle, double flags, double record = 0) {
    return run(QVREADEVENTRECORD, {Value::num(handle), Value::num(flags), Value::num(record)});
  }
};

TEST_F(EventRecord, EveryPartOfTheRecord) {
  qvsim::RecordView e = event(0xC0000005u, {u"one", u"", u"three"}, {'A', 0, 'B', 0xFF}, kSid);
  e.source = "MySource";
  e.computer = "BOX";
  uint32_t n = qvsim::write_record("System", e);
  Value r = read_record(open("System"), kSeekForwards, n);
  const std::vector<Value> expected = {Value::num(n),
                                       Value::num(1100000000),
                                       Value::num(1100000001),
                                       Value::num(-1073741819),
                                       Value::num(4),
                                       Value::num(3),
                                       Value::str("MySource"),
                                       Value::str("BOX"),
                                       Value::str("S-1-5-21-1-2-3-1001"),
                                       Value::str(std::string("A\0B\xFF", 4)),
                                       strings({"one", "", "three"})};
  EXPECT_EQ(r.items, expected);
}

TEST_F(EventRecord, ReadsAsTheRecordArrayDoes) {
  for (uint32_t id : {10, 20}) qvsim::write_record("Application", event(id, {}));
  double h = open("Application");
  EXPECT_EQ(read_record(h, 5).items[3], Value::num(10));
  EXPECT_EQ(read_record(h, 5).items[kStrings], Value::array({}));
  EXPECT_EQ(read_record(h, 5), Value::num(ERR_READ_FAILED));
  EXPECT_EQ(last_error(), 38);
  EXPECT_EQ(read_record(0, 5), Value::num(ERR_MISSING_FIRST));
  for (int which = 0; which < 3; ++which) {
    if (which < 2) xpp::fail_con_new_array(which + 1);
    if (which == 2) xpp::fail_con_new(1);
    EXPECT_EQ(read_record(h, kSeekForwards, 1), Value::num(ERR_NO_ARRAY));
    EXPECT_EQ(xpp::live_containers(), 0);
  }
}

// SIDs by their bytes: the usual text, or "" for bytes that are no SID.
struct SidCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* text;
};

class SidText : public ::testing::TestWithParam<SidCase> {};

TEST_P(SidText, AsWindowsWritesIt) {
  char text[qv::kSidTextBytes];
  const SidCase& c = GetParam();
  qv::format_sid(c.bytes.data(), static_cast<DWORD>(c.bytes.size()), text, sizeof text);
  EXPECT_STREQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Sids, SidText,
    ::testing::Values(SidCase{"User", kSid, "S-1-5-21-1-2-3-1001"},
                      SidCase{"Everyone", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, "S-1-1-0"},
                      SidCase{"NoSubAuthority", {1, 0, 0, 0, 0, 0, 0, 5}, "S-1-5"},
                      SidCase{"LargestSubAuthority",
                              {1, 1, 0, 0, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF},
                              "S-1-5-4294967295"},
                      SidCase{"WideAuthority", {1, 0, 1, 2, 3, 4, 5, 6}, "S-1-0x010203040506"},
                      SidCase{"CountPastLength", {1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0}, ""},
                      SidCase{"WrongRevision", {2, 0, 0, 0, 0, 0, 0, 5}, ""},
                      SidCase{"TooShort", {1, 0, 0, 0, 0, 0, 0}, ""},
                      SidCase{"TooManySubAuthorities", std::vector<uint8_t>(8 + 4 * 16, 0), ""}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// A record as ReadEventLogA delivers it, damaged by a change to its bytes. Each part that
// the damage makes point elsewhere is empty; the others are whole.
struct Damage {
  const char* name;
  void (*apply)(std::vector<uint8_t>& record);
  std::vector<int> emptied;  // positions of the record array that become empty
  Value strings;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

void put32(std::vector<uint8_t>& r, size_t at, uint32_t v) { std::memcpy(&r[at], &v, 4); }
uint32_t get32(const std::vector<uint8_t>& r, size_t at) {
  uint32_t v;
  std::memcpy(&v, &r[at], 4);
  return v;
}
constexpr size_t kLength = 0, kNumStrings = 26, kStringOffset = 36, kSidLength = 40,
                 kSidOffset = 44, kDataLength = 48, kDataOffset = 52;

const Value kAllStrings = strings({"first", "second"});

const Damage kDamages[] = {
    {"Undamaged", [](std::vector<uint8_t>&) {}, {}, kAllStrings},
    {"SidPastTheEnd",
     [](auto& r) { put32(r, kSidOffset, static_cast<uint32_t>(r.size())); },
     {kUserSid},
     kAllStrings},
    {"SidLengthWraps", [](auto& r) { put32(r, kSidLength, 0xFFFFFFF0u); }, {kUserSid}, kAllStrings},
    // The names end before the SID: a SID placed over them leaves them empty too.
    {"SidInTheNames",
     [](auto& r) { put32(r, kSidOffset, 56); },
     {kSource, kComputer, kUserSid},
     kAllStrings},
    {"SidOverTheStrings",
     [](auto& r) { put32(r, kSidLength, get32(r, kSidLength) + 4); },
     {kUserSid},
     kAllStrings},
    {"DataPastTheEnd",
     [](auto& r) { put32(r, kDataLength, get32(r, kDataLength) + 8); },
     {kData},
     kAllStrings},
    {"DataOverTheClosingLength",
     [](auto& r) {
       put32(r, kDataLength, static_cast<uint32_t>(r.size()) - get32(r, kDataOffset));
     },
     {kData},
     kAllStrings},
    {"DataInTheStrings",
     [](auto& r) { put32(r, kDataOffset, get32(r, kStringOffset)); },
     {kData},
     kAllStrings},
    {"DataOffsetWraps", [](auto& r) { put32(r, kDataOffset, 0xFFFFFFFCu); }, {kData}, kAllStrings},
    {"StringsInTheFixedPart", [](auto& r) { put32(r, kStringOffset, 8); }, {}, strings({"", ""})},
    {"StringsPastTheEnd",
     [](auto& r) { put32(r, kStringOffset, 0x7FFFFFFFu); },
     {},
     strings({"", ""})},
    // More strings than the record holds: the walk meets the data, which ends them.
    {"MoreStringsClaimed",
     [](auto& r) { r[kNumStrings] = 4; },
     {},
     strings({"first", "second", "", ""})},
    // The second string loses its terminator: it would run into the data.
    {"StringUnterminated",
     [](auto& r) { r[get32(r, kDataOffset) - 1] = 'X'; },
     {},
     strings({"first", ""})},
    {"ComputerNameUnterminated",
     [](auto& r) {
       for (size_t i = 56; i < get32(r, kSidOffset); ++i)
         if (r[i] == 0) r[i] = 'Z';
     },
     {kSource, kComputer},
     kAllStrings},
    // "Src" made an empty name, then the computer's: a source without a name keeps it.
    {"SourceNameEmpty", [](auto& r) { std::memcpy(&r[56], "\0PC", 4); }, {kSource}, kAllStrings},
    // A shorter length in the record cuts it: the data now lies past its end.
    {"LengthCutsTheRecord",
     [](auto& r) { put32(r, kLength, get32(r, kDataOffset) + 4); },
     {kData},
     kAllStrings},
};

class DamagedRecord : public ::testing::TestWithParam<Damage> {};

std::vector<uint8_t> delivered;  // the record the export below is given

void XPP_CDECL deliver_record(XppParamList pl) {
  BYTE* buffer = static_cast<BYTE*>(qv::heap_alloc_zeroed(delivered.size()));
  std::memcpy(buffer, delivered.data(), delivered.size());
  qv::return_event_record(pl, buffer, static_cast<DWORD>(delivered.size()),
                          static_cast<DWORD>(delivered.size()));
}

TEST_P(DamagedRecord, PartsStayInside) {
  qvsim::reset();
  qvsim::RecordView e = event(9, {u"first", u"second"}, {'D', 'A', 'T', 'A', '!'}, kSid);
  e.source = "Src";
  e.computer = "PC";
  qvsim::write_record("Application", e);
  HANDLE h = OpenEventLogA(nullptr, "Application");
  std::vector<uint8_t> record(qvsim::ansi_record_size(e));
  DWORD read = 0, needed = 0;
  ASSERT_TRUE(
      ReadEventLogA(h, 5, 0, record.data(), static_cast<DWORD>(record.size()), &read, &needed));
  CloseEventLog(h);
  Value whole =
      Value::array({Value::num(1), Value::num(1100000000), Value::num(1100000001), Value::num(9),
                    Value::num(4), Value::num(3), Value::str("Src"), Value::str("PC"),
                    Value::str("S-1-5-21-1-2-3-1001"), Value::str("DATA!"), kAllStrings});

  GetParam().apply(record);
  delivered = record;
  Value expected = whole;
  for (int i : GetParam().emptied) expected.items[i] = Value::str("");
  expected.items[kStrings] = GetParam().strings;
  EXPECT_EQ(run(deliver_record, {}), expected);
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecord, ::testing::ValuesIn(kDamages),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
