// The simulated event-log service as the library sees it: ReadEventLogA's layout, flags
// and positions, the size limit, clearing, and .evt files read and written.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "eventlog_fixture.h"

namespace {

using namespace qvtest;

constexpr DWORD kSeqFwd = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
constexpr DWORD kSeqBack = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ;
constexpr DWORD kSeekFwd = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
constexpr DWORD kSeekBack = EVENTLOG_SEEK_READ | EVENTLOG_BACKWARDS_READ;

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
void put_le32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

struct Read {
  BOOL ok = FALSE;
  DWORD error = 0;
  DWORD bytes = 0;
  DWORD needed = 0;
  std::vector<uint8_t> buffer;
};

Read read_raw(HANDLE h, DWORD flags, DWORD number, DWORD size) {
  Read r;
  r.buffer.assign(size + 1, 0xEE);  // never a null buffer, even for a size of 0
  SetLastError(0);
  r.ok = ReadEventLogA(h, flags, number, r.buffer.data(), size, &r.bytes, &r.needed);
  r.error = r.ok ? 0 : GetLastError();
  return r;
}

// The numbers of the records one read delivered.
std::vector<uint32_t> numbers_in(const Read& r) {
  std::vector<uint32_t> numbers;
  for (size_t at = 0; at + 56 <= r.bytes;) {
    numbers.push_back(le32(&r.buffer[at + 8]));
    at += le32(&r.buffer[at]);
  }
  return numbers;
}

// One record each, with a buffer of any size.
std::vector<uint32_t> read_numbers(HANDLE h, DWORD flags, int max = 1000) {
  std::vector<uint32_t> numbers;
  for (int i = 0; i < max; ++i) {
    Read r = read_raw(h, flags, 0, 0x7FFFF);
    if (!r.ok) break;
    for (uint32_t n : numbers_in(r)) numbers.push_back(n);
  }
  return numbers;
}

class Service : public EventLogTest {
 protected:
  void write(int count) {
    for (int i = 0; i < count; ++i) qvsim::write_record("Application", event(100 + i));
  }
  HANDLE open_live(const char* log = "Application") { return OpenEventLogA(nullptr, log); }
  // Room for the first record of the Application log and nothing more.
  DWORD one_record() { return qvsim::ansi_record_size(qvsim::log_records("Application").front()); }
};

TEST_F(Service, FlagsNeedOneModeAndOneDirection) {
  write(1);
  HANDLE h = open_live();
  const DWORD invalid[] = {0, 1, 2, 3, 4, 8, 12, 7, 11, 13, 14, 15};
  for (DWORD flags : invalid) {
    Read r = read_raw(h, flags, 1, 4096);
    EXPECT_FALSE(r.ok) << flags;
    EXPECT_EQ(r.error, 87u) << flags;
  }
  for (DWORD flags : {kSeqFwd, kSeqBack, kSeekFwd, kSeekBack}) {
    EXPECT_TRUE(read_raw(open_live(), flags, 1, 4096).ok) << flags;
  }
}

// The ANSI record exactly as Windows lays it out.
TEST_F(Service, AnsiRecordLayout) {
  qvsim::RecordView e =
      event(0xC0000005u, {u"caf\u00e9", u"", u"\u4e2d!\u0141\u2026"}, {1, 2, 3, 4, 5});
  e.source = "Src";
  e.computer = "PC1";
  e.sid = qvsim::user_sid("xbuser");
  e.event_type = 2;
  e.category = 9;
  qvsim::write_record("Application", e);
  Read r = read_raw(open_live(), kSeqFwd, 0, 4096);
  ASSERT_TRUE(r.ok);
  const uint8_t* p = r.buffer.data();
  uint32_t length = le32(p);
  ASSERT_EQ(r.bytes, length);
  EXPECT_EQ(length % 4, 0u);
  EXPECT_EQ(le32(p + 4), 0x654c664cu);
  EXPECT_EQ(le32(p + 8), 1u);
  EXPECT_EQ(le32(p + 12), e.time_generated);
  EXPECT_EQ(le32(p + 16), e.time_written);
  EXPECT_EQ(le32(p + 20), 0xC0000005u);
  EXPECT_EQ(p[24] | p[25] << 8, 2);
  EXPECT_EQ(p[26] | p[27] << 8, 3);
  EXPECT_EQ(p[28] | p[29] << 8, 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 56)), "Src");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 60)), "PC1");
  uint32_t sid_offset = le32(p + 44);
  EXPECT_EQ(sid_offset, 64u);  // 56 + "Src\0" + "PC1\0", already a multiple of 4
  ASSERT_EQ(le32(p + 40), e.sid.size());
  EXPECT_EQ(std::vector<uint8_t>(p + sid_offset, p + sid_offset + e.sid.size()), e.sid);
  uint32_t strings = le32(p + 36);
  EXPECT_EQ(strings, sid_offset + e.sid.size());
  // Characters outside the code page by their near character, else '?'.
  const char expected_strings[] = "caf\xe9\0\0?!L\x85";  // with its closing zero: 11 bytes
  EXPECT_EQ(std::vector<uint8_t>(p + strings, p + strings + 11),
            std::vector<uint8_t>(expected_strings, expected_strings + 11));
  EXPECT_EQ(le32(p + 48), 5u);
  uint32_t data = le32(p + 52);
  EXPECT_EQ(data, strings + 11);
  EXPECT_EQ(std::vector<uint8_t>(p + data, p + data + 5), e.data);
  EXPECT_EQ(le32(p + length - 4), length);
  EXPECT_EQ(length, (data + 5 + 3) / 4 * 4 + 4);
}

// What follows the names starts on a multiple of 8, after zero bytes.
TEST_F(Service, AnsiRecordPadsTheNamesToEightBytes) {
  struct Row {
    const char* source;
    const char* computer;
    uint32_t sid_offset;
  };
  const Row rows[] = {{"Src", "PC1", 64},
                      {"Src", "PC12", 72},
                      {"TestApp", "POPSICKL-79ADD4", 80},
                      {"EventLog", "POPSICKL-79ADD4", 88}};
  HANDLE h = open_live();
  for (const Row& row : rows) {
    qvsim::RecordView e = event(1);
    e.source = row.source;
    e.computer = row.computer;
    qvsim::write_record("Application", e);
    Read r = read_raw(h, kSeqFwd, 0, 4096);
    ASSERT_TRUE(r.ok) << row.computer;
    const uint8_t* p = r.buffer.data();
    EXPECT_EQ(le32(p + 44), row.sid_offset) << row.source << " " << row.computer;
    EXPECT_EQ(le32(p + 36), row.sid_offset) << row.source << " " << row.computer;
    size_t names_end = 56 + std::strlen(row.source) + 1 + std::strlen(row.computer) + 1;
    for (size_t i = names_end; i < row.sid_offset; ++i) EXPECT_EQ(p[i], 0) << i;
  }
}

TEST_F(Service, AsManyWholeRecordsAsFit) {
  write(5);
  HANDLE h = open_live();
  Read one = read_raw(h, kSeekFwd, 1, 0x7FFFF);
  DWORD size = le32(one.buffer.data());  // all five have the same size
  struct Case {
    DWORD buffer;
    std::vector<uint32_t> numbers;
  };
  const Case cases[] = {{size, {2}}, {2 * size + size / 2, {2, 3}}, {10 * size, {2, 3, 4, 5}}};
  for (const Case& c : cases) {
    Read r = read_raw(h, kSeekFwd, 2, c.buffer);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(numbers_in(r), c.numbers);
    EXPECT_EQ(r.bytes, size * c.numbers.size());
  }
}

TEST_F(Service, TooSmallBufferReportsTheNextRecordsSize) {
  qvsim::write_record("Application", event(1, {u"short"}));
  qvsim::write_record("Application", event(2, {u"a much longer string than the first"}));
  HANDLE h = open_live();
  ASSERT_TRUE(read_raw(h, kSeqFwd, 0, one_record()).ok);
  for (DWORD size : {0u, 56u, 100u}) {
    Read r = read_raw(h, kSeqFwd, 0, size);
    EXPECT_EQ(r.error, 122u);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_EQ(r.needed, qvsim::ansi_record_size(qvsim::log_records("Application")[1]));
  }
  // Nothing was consumed.
  Read r = read_raw(h, kSeqFwd, 0, 4096);
  EXPECT_EQ(numbers_in(r), std::vector<uint32_t>{2});
}

TEST_F(Service, SeekToARecordTheLogDoesNotHold) {
  write(5);
  qvsim::set_log_max_size("Application", qvsim::log_size("Application") * 3 / 5);  // keeps 3..5
  HANDLE h = open_live();
  for (DWORD n : {0u, 1u, 2u, 6u, 0xFFFFFFFFu}) {
    for (DWORD flags : {kSeekFwd, kSeekBack}) {
      Read r = read_raw(h, flags, n, 4096);
      EXPECT_EQ(r.error, 87u) << n;
    }
  }
  EXPECT_EQ(numbers_in(read_raw(h, kSeekBack, 4, one_record())), std::vector<uint32_t>{4});
}

TEST_F(Service, EndOfLogAndEmptyLog) {
  HANDLE h = open_live("System");
  for (DWORD flags : {kSeqFwd, kSeqBack}) EXPECT_EQ(read_raw(h, flags, 0, 4096).error, 38u);
  write(1);
  HANDLE a = open_live();
  EXPECT_TRUE(read_raw(a, kSeqBack, 0, 4096).ok);
  EXPECT_EQ(read_raw(a, kSeqBack, 0, 4096).error, 38u);
}

// Each handle keeps its own position next to the record it read last: after it when that
// read went forwards, before it when it went backwards, so a read that turns round gives
// that record again. A seek read moves the position as a sequential read does.
TEST_F(Service, ReadPositionPerHandle) {
  write(6);
  struct Step {
    DWORD flags;
    DWORD number;
    uint32_t expected;  // 0: end of log
  };
  const std::vector<std::vector<Step>> cases = {
      {{kSeqBack, 0, 6}, {kSeqBack, 0, 5}, {kSeqFwd, 0, 5}, {kSeqFwd, 0, 6}, {kSeqFwd, 0, 0}},
      {{kSeqFwd, 0, 1},
       {kSeqFwd, 0, 2},
       {kSeqFwd, 0, 3},
       {kSeqBack, 0, 3},
       {kSeqBack, 0, 2},
       {kSeqBack, 0, 1},
       {kSeqBack, 0, 0},
       {kSeqBack, 0, 0},
       {kSeqFwd, 0, 1}},
      {{kSeekFwd, 4, 4}, {kSeqFwd, 0, 5}, {kSeekBack, 2, 2}, {kSeqBack, 0, 1}, {kSeqFwd, 0, 1}},
      {{kSeekFwd, 6, 6}, {kSeqFwd, 0, 0}, {kSeekFwd, 1, 1}, {kSeqBack, 0, 1}, {kSeqBack, 0, 0}},
      {{kSeqFwd, 0, 1}, {kSeqFwd, 0, 2}, {kSeqBack, 0, 2}, {kSeqBack, 0, 1}},
      {{kSeekFwd, 2, 2}, {kSeekFwd, 4, 4}, {kSeekFwd, 3, 3}, {kSeqFwd, 0, 4}},
      {{kSeekBack, 5, 5}, {kSeekBack, 3, 3}, {kSeekBack, 4, 4}, {kSeqBack, 0, 3}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    HANDLE h = open_live();
    HANDLE other = open_live();
    for (const Step& s : cases[i]) {
      Read r = read_raw(h, s.flags, s.number, one_record());
      if (s.expected == 0) {
        EXPECT_EQ(r.error, 38u) << "case " << i;
      } else {
        EXPECT_EQ(numbers_in(r), std::vector<uint32_t>{s.expected}) << "case " << i;
      }
    }
    // The other handle has not moved.
    EXPECT_EQ(numbers_in(read_raw(other, kSeqFwd, 0, one_record())), std::vector<uint32_t>{1});
  }
}

// Overwritten records are gone: a reader going forwards goes on with the oldest left, one
// going backwards has reached the end; a new reader starts at the oldest left.
TEST_F(Service, OldestRecordsOverwrittenUnderAReader) {
  uint32_t size = qvsim::evt_record_size(event(100));
  qvsim::set_log_max_size("Application", 4 * size + size / 2);
  write(3);
  HANDLE fwd = open_live();
  HANDLE back = open_live();
  EXPECT_EQ(numbers_in(read_raw(fwd, kSeqFwd, 0, one_record())), std::vector<uint32_t>{1});
  EXPECT_EQ(numbers_in(read_raw(back, kSeekBack, 2, one_record())), std::vector<uint32_t>{2});
  write(5);  // 8 written, 4 kept: 5..8
  EXPECT_EQ(qvsim::log_records("Application").front().number, 5u);
  EXPECT_EQ(read_numbers(fwd, kSeqFwd), (std::vector<uint32_t>{5, 6, 7, 8}));
  EXPECT_EQ(read_raw(back, kSeqBack, 0, one_record()).error, 38u);
  DWORD count = 0, oldest = 0;
  ASSERT_TRUE(GetNumberOfEventLogRecords(fwd, &count));
  ASSERT_TRUE(GetOldestEventLogRecord(fwd, &oldest));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(oldest, 5u);
}

// Numbering goes on after a clear, as from Windows Vista SP1.
TEST_F(Service, ClearRestartsNumberingAndInvalidatesReaders) {
  write(3);
  HANDLE reader = open_live();
  HANDLE clearer = open_live();
  ASSERT_TRUE(read_raw(reader, kSeqFwd, 0, 200).ok);
  ASSERT_TRUE(ClearEventLogA(clearer, nullptr));
  DWORD count = 9, oldest = 9;
  ASSERT_TRUE(GetNumberOfEventLogRecords(reader, &count));
  ASSERT_TRUE(GetOldestEventLogRecord(reader, &oldest));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(oldest, 0u);
  write(2);
  EXPECT_EQ(read_raw(reader, kSeqFwd, 0, 200).error, 1503u);
  EXPECT_EQ(read_raw(clearer, kSeqFwd, 0, 200).error, 1503u);
  EXPECT_EQ(read_numbers(open_live(), kSeqFwd), (std::vector<uint32_t>{1, 2}));
}

// Arguments are checked before a server is asked for, and a read's buffer before its
// handle is looked at.
TEST_F(Service, ArgumentsCheckedFirst) {
  DWORD n = 0, needed = 0;
  HANDLE no_handle = reinterpret_cast<HANDLE>(uintptr_t{0x7FF0});
  struct Row {
    const char* what;
    std::function<BOOL()> call;
    DWORD error;
  };
  const Row rows[] = {
      {"open, no name", [] { return OpenEventLogA(nullptr, nullptr) != nullptr; }, 87},
      {"open elsewhere, no name", [] { return OpenEventLogA("\\\\ELSEWHERE", nullptr) != nullptr; },
       87},
      {"open elsewhere", [] { return OpenEventLogA("\\\\ELSEWHERE", "System") != nullptr; }, 1722},
      {"open backup elsewhere, no file",
       [] { return OpenBackupEventLogA("\\\\ELSEWHERE", nullptr) != nullptr; }, 87},
      {"open backup elsewhere",
       [] { return OpenBackupEventLogA("\\\\ELSEWHERE", "x.evt") != nullptr; }, 1722},
      {"count, no variable", [&] { return GetNumberOfEventLogRecords(open_live(), nullptr); }, 87},
      {"oldest, no handle", [&] { return GetOldestEventLogRecord(nullptr, &n); }, 6},
      {"read, no buffer",
       [&] { return ReadEventLogA(no_handle, kSeqFwd, 0, nullptr, 0, &n, &needed); }, 87},
      {"read, no buffer of 100 bytes",
       [&] { return ReadEventLogA(no_handle, kSeqFwd, 0, nullptr, 100, &n, &needed); }, 87},
      {"read, no handle",
       [&] { return ReadEventLogA(no_handle, kSeqFwd, 0, &needed, 4, &n, &needed); }, 6},
  };
  for (const Row& row : rows) {
    SetLastError(0);
    EXPECT_FALSE(row.call()) << row.what;
    EXPECT_EQ(GetLastError(), row.error) << row.what;
  }
}

// A handle from OpenEventLogA and one from RegisterEventSourceA are the same kind: each
// writes, counts, reads and closes.
TEST_F(Service, OneKindOfHandle) {
  struct Row {
    const char* what;
    HANDLE (*open)(LPCSTR, LPCSTR);
    BOOL (*close)(HANDLE);
  };
  const Row rows[] = {{"log handle", OpenEventLogA, DeregisterEventSource},
                      {"source handle", RegisterEventSourceA, CloseEventLog}};
  uint32_t written = 0;
  for (const Row& row : rows) {
    HANDLE h = row.open(nullptr, "QvApp");
    ASSERT_NE(h, nullptr) << row.what;
    LPCSTR strings[] = {"one"};
    EXPECT_TRUE(ReportEventA(h, 4, 0, 7, nullptr, 1, 0, strings, nullptr)) << row.what;
    ++written;
    DWORD count = 0, oldest = 0;
    EXPECT_TRUE(GetNumberOfEventLogRecords(h, &count)) << row.what;
    EXPECT_TRUE(GetOldestEventLogRecord(h, &oldest)) << row.what;
    EXPECT_EQ(count, written) << row.what;
    EXPECT_EQ(oldest, 1u) << row.what;
    Read r = read_raw(h, kSeqBack, 0, 4096);
    ASSERT_TRUE(r.ok) << row.what;
    EXPECT_EQ(le32(r.buffer.data() + 8), written) << row.what;
    EXPECT_STREQ(reinterpret_cast<const char*>(r.buffer.data() + 56), "QvApp") << row.what;
    EXPECT_TRUE(row.close(h)) << row.what;
    EXPECT_FALSE(CloseEventLog(h)) << row.what;
  }
  EXPECT_EQ(qvsim::log_records("Application").size(), written);
}

// Windows 7 and later refuse an event type they do not know with ERROR_CRC; Vista and later
// a string over 31,839 characters with RPC_S_INVALID_BOUND, more than 256 strings or more
// than 61,440 bytes of data with ERROR_INVALID_PARAMETER. What is written is kept whole.
TEST_F(Service, EventTypesWindowsKnows) {
  HANDLE h = RegisterEventSourceA(nullptr, "QvApp");
  struct Row {
    WORD type;
    DWORD error;  // 0: written
    size_t chars = 5, strings = 1, data = 0;
  };
  const Row rows[] = {{0, 0},
                      {1, 0},
                      {2, 0},
                      {4, 0},
                      {8, 0},
                      {16, 0},
                      {3, 23},
                      {0x20, 23},
                      {0x40, 23},
                      {0xFFFF, 23},
                      {4, 0, 31839},
                      {4, 1734, 31840},
                      {4, 0, 1, 256},
                      {4, 87, 1, 257},
                      {4, 0, 0, 0, 61440},
                      {4, 87, 0, 0, 61441}};
  size_t written = 0;
  for (const Row& row : rows) {
    const std::string text(row.chars, 'x');
    std::vector<LPCSTR> strings(row.strings, text.c_str());
    std::vector<uint8_t> data(row.data, 0xA5);
    SetLastError(0);
    BOOL ok = ReportEventA(h, row.type, 9, 1, nullptr, static_cast<WORD>(row.strings),
                           static_cast<DWORD>(row.data), strings.data(), data.data());
    EXPECT_EQ(ok, row.error == 0) << row.type << " " << row.chars << " " << row.strings;
    if (ok) {
      ++written;
      const qvsim::RecordView r = qvsim::log_records("Application").back();
      EXPECT_EQ(r.strings,
                std::vector<std::u16string>(row.strings, std::u16string(row.chars, 'x')));
      EXPECT_EQ(r.category, 9);
      EXPECT_EQ(r.data, data);
    } else {
      EXPECT_EQ(GetLastError(), row.error) << row.type;
    }
    EXPECT_EQ(qvsim::log_records("Application").size(), written) << row.type;
  }
}

// A log key of its own in the registry is a log of its own: empty at first, numbered on its
// own, written by its sources and cleared alone. A name neither a log nor a source opens
// Application.
TEST_F(Service, CustomLogOfItsOwn) {
  write(2);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\CurrentControlSet\\Services\\EventLog\\QvOwn\\QvOwnSrc", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  auto count_of = [](HANDLE h) {
    DWORD count = 99;
    EXPECT_TRUE(GetNumberOfEventLogRecords(h, &count));
    return count;
  };
  EXPECT_EQ(count_of(open_live("QvOwn")), 0u);
  HANDLE source = RegisterEventSourceA(nullptr, "QvOwnSrc");
  EXPECT_TRUE(ReportEventA(source, 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
  struct Row {
    const char* name;
    DWORD count;
  };
  const Row rows[] = {{"QvOwn", 1},  {"qvown", 1},     {"QvOwnSrc", 1},
                      {"System", 0}, {"NoSuchLog", 2}, {"Application", 2}};
  for (const Row& row : rows) EXPECT_EQ(count_of(open_live(row.name)), row.count) << row.name;
  EXPECT_EQ(numbers_in(read_raw(open_live("QvOwn"), kSeqFwd, 0, 4096)), std::vector<uint32_t>{1});

  ASSERT_TRUE(ClearEventLogA(open_live("QvOwn"), nullptr));
  EXPECT_EQ(count_of(open_live("QvOwn")), 0u);
  EXPECT_EQ(count_of(open_live("Application")), 2u);
  EXPECT_TRUE(ReportEventA(source, 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
  EXPECT_EQ(numbers_in(read_raw(open_live("QvOwn"), kSeqFwd, 0, 4096)), std::vector<uint32_t>{1});
}

// ---- .evt files ----

// What reading testdata/TestLog.evt must give (its README).
std::vector<Value> expected_testlog() {
  auto rec = [](double n, double t, double id, double type, double cat, const char* s) {
    return Value::array({Value::num(n), Value::num(t), Value::num(t), Value::num(id),
                         Value::num(type), Value::num(1), Value::num(cat), Value::str(s)});
  };
  return {rec(1, 1626835216, 1, 4, 1, "Test log entry, information"),
          rec(2, 1626835246, 2, 1, 1, "Test log entry, error"),
          rec(3, 1626835260, 3, 2, 1, "Test log entry, warning"),
          rec(4, 1626837098, 65534, 16, 99, "Test log entry, failure audit"),
          rec(5, 1626837411, 5, 8, 1, "Test log entry, success audit")};
}

class EvtFiles : public Service {
 protected:
  // Reads the file through the exports forwards, backwards and by seek, and checks all
  // three against the expected records.
  void expect_records(const std::string& file, const std::vector<Value>& expected) {
    double h = open_backup(file);
    ASSERT_GT(h, 0) << file;
    Value count = Value::nil(), oldest = Value::nil();
    run(QVQUERYLOGENTRYNUM, {Value::num(h), xpp::by_ref(count)});
    run(QVQUERYOLDESTLOGENTRY, {Value::num(h), xpp::by_ref(oldest)});
    EXPECT_EQ(count, Value::num(static_cast<double>(expected.size())));
    EXPECT_EQ(oldest, expected.empty() ? Value::num(0) : expected.front().items[0]);

    EXPECT_EQ(read_all(h, 5), expected) << file;
    EXPECT_EQ(last_error(), 38);
    std::vector<Value> backwards(expected.rbegin(), expected.rend());
    double h2 = open_backup(file);
    EXPECT_EQ(read_all(h2, 9), backwards) << file;
    for (const Value& r : backwards) EXPECT_EQ(read(h, 6, r.items[0].number), r) << file;
    run(QVCLOSEEVENTLOG, {Value::num(h)});
    run(QVCLOSEEVENTLOG, {Value::num(h2)});
  }
};

TEST_F(EvtFiles, TestdataFilesWrittenByWindows) {
  expect_records(testdata("TestLog.evt"), expected_testlog());
  expect_records(testdata("TestLog-dirty.evt"), expected_testlog());
}

TEST_F(EvtFiles, RawDataOfTestdataRecords) {
  HANDLE h = OpenBackupEventLogA(nullptr, testdata("TestLog.evt").c_str());
  ASSERT_NE(h, nullptr);
  const std::map<uint32_t, std::u16string> data = {{4, u"Test Binary Data"},
                                                   {5, u"Test Binary Data 2"}};
  for (auto& [n, text] : data) {
    Read r = read_raw(h, kSeekFwd, n, 4096);
    ASSERT_TRUE(r.ok);
    const uint8_t* p = r.buffer.data();
    ASSERT_EQ(le32(p + 48), text.size() * 2);
    std::u16string got;
    for (size_t i = 0; i < text.size(); ++i)
      got.push_back(
          static_cast<char16_t>(p[le32(p + 52) + 2 * i] | p[le32(p + 52) + 2 * i + 1] << 8));
    EXPECT_EQ(got, text);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 56)), "TestApp");
  }
}

// The events of TestLog.evt written here and backed up give the file Windows wrote, byte
// for byte, but for the retention time of the log it came from.
TEST_F(EvtFiles, BackupIsTheFileWindowsWrites) {
  struct Row {
    uint32_t time, id;
    uint16_t type, category;
    std::u16string text, data;
  };
  const Row rows[] = {
      {1626835216, 1, 4, 1, u"Test log entry, information", u""},
      {1626835246, 2, 1, 1, u"Test log entry, error", u""},
      {1626835260, 3, 2, 1, u"Test log entry, warning", u""},
      {1626837098, 65534, 16, 99, u"Test log entry, failure audit", u"Test Binary Data"},
      {1626837411, 5, 8, 1, u"Test log entry, success audit", u"Test Binary Data 2"},
  };
  for (const Row& row : rows) {
    qvsim::RecordView e = event(row.id, {row.text});
    e.time_generated = e.time_written = row.time;
    e.event_type = row.type;
    e.category = row.category;
    e.source = "TestApp";
    e.computer = "POPSICKL-79ADD4";
    for (char16_t c : row.data) e.data.insert(e.data.end(), {uint8_t(c), uint8_t(c >> 8)});
    qvsim::write_record("Application", e);
  }
  HANDLE h = open_live();
  ASSERT_TRUE(BackupEventLogA(h, path("same.evt").c_str()));
  std::vector<uint8_t> ours = read_bytes(path("same.evt"));
  std::vector<uint8_t> windows = read_bytes(testdata("TestLog.evt"));
  ASSERT_EQ(ours.size(), windows.size());
  put_le32(ours, 40, le32(&windows[40]));
  EXPECT_TRUE(ours == windows);
}

// A file whose records wrap around its end, one of them split there, as a live log that
// has run full leaves it; written here from the records of TestLog.evt.
std::vector<uint8_t> wrapped_testlog(size_t split_into, bool dirty) {
  std::vector<uint8_t> clean = read_bytes(testdata("TestLog.evt"));
  std::vector<uint8_t> stream(clean.begin() + 48, clean.begin() + le32(&clean[20]) + 40);
  size_t records = stream.size() - 40;
  size_t first_two = le32(&stream[0]) + le32(&stream[le32(&stream[0])]);
  size_t span = stream.size() + 64;                    // 64 bytes free in the ring
  size_t oldest = 48 + span - first_two - split_into;  // record 3 split `split_into` bytes in
  size_t eof = 48 + (oldest - 48 + records) % span;
  put_le32(stream, records + 20, static_cast<uint32_t>(oldest));
  put_le32(stream, records + 24, static_cast<uint32_t>(eof));
  std::vector<uint8_t> file(48 + span, 0);
  for (size_t k = 0; k < stream.size(); ++k) file[48 + (oldest - 48 + k) % span] = stream[k];
  std::copy(clean.begin(), clean.begin() + 48, file.begin());
  put_le32(file, 16, dirty ? 48 : static_cast<uint32_t>(oldest));
  put_le32(file, 20, dirty ? 48 : static_cast<uint32_t>(eof));
  put_le32(file, 32, static_cast<uint32_t>(file.size()));
  put_le32(file, 36, dirty ? 0x3 : 0x2);
  return file;
}

// Records lie on 4-byte boundaries in a file Windows writes; a dirty file's search for its
// end-of-file record looks at those only, so the rows split off 2 or 6 bytes are clean.
TEST_F(EvtFiles, WrappedFileWithARecordSplitAtTheEnd) {
  for (size_t split : {2, 4, 6, 8, 40, 100}) {
    for (bool dirty : {false, true}) {
      if (dirty && split % 4 != 0) continue;
      std::string file = path("wrapped" + std::to_string(split) + (dirty ? "d" : "") + ".evt");
      write_bytes(file, wrapped_testlog(split, dirty));
      expect_records(file, expected_testlog());
    }
  }
}

// A dirty file whose header says nothing and whose records, or only its end-of-file
// record, lie behind a hole of 4 MiB, as a sparse file holds it.
TEST_F(EvtFiles, DirtyFileWithAHoleBeforeItsRecords) {
  std::vector<uint8_t> clean = read_bytes(testdata("TestLog.evt"));
  const uint32_t eof = le32(&clean[20]);
  const uint32_t hole_end = 4u << 20;
  for (bool records : {true, false}) {
    std::vector<uint8_t> stream(clean.begin() + (records ? 48 : eof), clean.begin() + eof + 40);
    const uint32_t new_eof = hole_end + static_cast<uint32_t>(stream.size()) - 40;
    put_le32(stream, stream.size() - 40 + 20, hole_end);  // oldest record
    put_le32(stream, stream.size() - 40 + 24, new_eof);
    if (!records) put_le32(stream, 32, 0);  // no oldest number: the log is empty
    std::vector<uint8_t> header(clean.begin(), clean.begin() + 48);
    put_le32(header, 16, 48);
    put_le32(header, 20, 48);
    put_le32(header, 36, 1);  // dirty
    std::string file = path(records ? "hole-records.evt" : "hole-empty.evt");
    write_bytes(file, header);
    ASSERT_EQ(truncate(file.c_str(), hole_end), 0);
    std::ofstream(file, std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(stream.data()),
               static_cast<std::streamsize>(stream.size()));
    expect_records(file, records ? expected_testlog() : std::vector<Value>{});
  }
}

// Broken files fail to open; a record whose inner offsets are wrong still reads safely.
TEST_F(EvtFiles, DamagedFiles) {
  std::vector<uint8_t> clean = read_bytes(testdata("TestLog.evt"));
  auto damaged = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> f = clean;
    put_le32(f, at, value);
    return f;
  };
  const std::vector<std::vector<uint8_t>> unreadable = {
      damaged(4, 0x12345678),           // header signature
      damaged(0x3b0, 0x29),             // no end-of-file record left
      damaged(48, 0xa0),                // first record's length no longer closes it
      damaged(48, 0xFFFFFFF0),          // a length far beyond the file
      damaged(0x3b0 + 20, 0x10000000),  // oldest offset outside the file
      std::vector<uint8_t>(clean.begin(), clean.begin() + 80),
  };
  for (size_t i = 0; i < unreadable.size(); ++i) {
    std::string file = path("bad" + std::to_string(i) + ".evt");
    write_bytes(file, unreadable[i]);
    EXPECT_EQ(open_backup(file), 0) << i;
    EXPECT_EQ(last_error(), 1500) << i;
  }
  // Record 1 with its string, SID and data offsets pointing outside it.
  std::vector<uint8_t> f = clean;
  put_le32(f, 48 + 36, 0x7FFFFFF0);
  put_le32(f, 48 + 40, 0x10);
  put_le32(f, 48 + 44, 0xFFFFFFF8);
  put_le32(f, 48 + 48, 0x100);
  write_bytes(path("inner.evt"), f);
  std::vector<Value> expected = expected_testlog();
  expected[0].items[7] = Value::str("");
  expect_records(path("inner.evt"), expected);
}

// A record whose strings are not where it says: the strings delivered end where the SID or
// the data begin, and each string declared but not found is delivered empty.
TEST_F(EvtFiles, StringsEndWhereTheSidAndDataBegin) {
  qvsim::write_record("Application", event(1, {u"x"}, {'A', 'B', 'C', 'D'}, qvsim::user_sid("a")));
  ASSERT_TRUE(BackupEventLogA(open_live(), path("one.evt").c_str()));
  const std::vector<uint8_t> clean = read_bytes(path("one.evt"));
  const uint32_t sid = le32(&clean[48 + 44]);
  const uint32_t data = le32(&clean[48 + 52]);
  struct Case {
    const char* name;
    uint16_t declared;
    uint32_t string_offset;
    std::string strings;  // as delivered, terminators included
  };
  const Case cases[] = {
      {"more_declared_than_held", 3, le32(&clean[48 + 36]), std::string("x\0\0\0", 4)},
      {"offset_beyond_the_record", 1, 0xFFFFFFFF, std::string(1, '\0')},
      {"offset_at_the_data", 2, data, std::string(2, '\0')},
      {"offset_inside_the_sid", 1, sid + 1, std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f = clean;
    f[48 + 26] = static_cast<uint8_t>(c.declared);
    put_le32(f, 48 + 36, c.string_offset);
    write_bytes(path(c.name), f);
    HANDLE h = OpenBackupEventLogA(nullptr, path(c.name).c_str());
    ASSERT_NE(h, nullptr) << c.name;
    Read r = read_raw(h, kSeekFwd, 1, 4096);
    ASSERT_TRUE(r.ok) << c.name;
    const uint8_t* p = r.buffer.data();
    EXPECT_EQ(p[26], c.declared) << c.name;
    EXPECT_EQ(std::string(p + le32(p + 36), p + le32(p + 52)), c.strings) << c.name;
    EXPECT_EQ(std::string(p + le32(p + 52), p + le32(p + 52) + le32(p + 48)), "ABCD") << c.name;
    EXPECT_EQ(le32(p + 40), 28u) << c.name;
    CloseEventLog(h);
  }
}

// Paths that are no event-log file a reader can take: each refused at once, without
// waiting on a writer or reading a file larger than any log.
TEST_F(EvtFiles, HostilePathsAreRefused) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    DWORD error;
  };
  const Case cases[] = {
      {"named_pipe", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, 5},
      // A readable log followed by nothing up to a size no log reaches.
      {"larger_than_a_log",
       [](const std::string& p) {
         write_bytes(p, read_bytes(testdata("TestLog.evt")));
         ASSERT_EQ(truncate(p.c_str(), (off_t{1} << 30) + 65536), 0);
       },
       1500},
  };
  for (const Case& c : cases) {
    std::string file = path(c.name);
    c.make(file);
    std::atomic<bool> done{false};
    HANDLE h = nullptr;
    DWORD error = 0;
    std::thread opener([&] {
      h = OpenBackupEventLogA(nullptr, file.c_str());
      error = GetLastError();
      done = true;
    });
    // An open that waits is set free by a writer, so that the test ends either way.
    for (int i = 0; i < 200 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bool waited = !done;
    if (waited) ::close(::open(file.c_str(), O_WRONLY | O_NONBLOCK));
    opener.join();
    EXPECT_FALSE(waited) << c.name;
    EXPECT_EQ(h, nullptr) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

// Memory running out while a file is opened or a record is made for a reader: the call
// fails with 8 and the process goes on. Each case runs in a child process whose address
// space is limited to what it has now and a margin.
TEST_F(EvtFiles, MemoryRunningOutFailsTheCall) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit a limited address space";
#endif
  constexpr uint32_t kMiB = 1u << 20;
  std::vector<uint8_t> testlog = read_bytes(testdata("TestLog.evt"));
  // A file of one record `length` bytes long, all of it raw data: a hole between the
  // record's fixed part and its closing length.
  auto write_one_record = [](const std::string& file, uint32_t length) {
    const uint32_t head[26] = {48, 0x654c664c, 1, 1, 48, 48 + length, 2, 1, 0, 0, 0, 48,
                               // the record's fixed part; names empty, data from 60 on
                               length, 0x654c664c, 1, 0, 0, 0, 0, 0, 0, 60, 0, 60, length - 64, 60};
    const uint32_t tail[11] = {length, 40,          0x11111111, 0x22222222, 0x33333333, 0x44444444,
                               48,     48 + length, 2,          1,          40};
    std::vector<uint8_t> bytes(sizeof head + sizeof tail);
    for (size_t i = 0; i < 26; ++i) put_le32(bytes, 4 * i, head[i]);
    for (size_t i = 0; i < 11; ++i) put_le32(bytes, sizeof head + 4 * i, tail[i]);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), sizeof head);
    out.seekp(48 + length - 4);
    out.write(reinterpret_cast<const char*>(bytes.data()) + sizeof head, sizeof tail);
  };
  struct Case {
    const char* name;
    uint32_t margin;  // bytes the child may take beyond what it has
    bool read;        // the failing call: false the open, true the read of the record
  };
  const Case cases[] = {{"open_a_file_larger_than_the_margin", 256 * kMiB, false},
                        {"read_a_record_larger_than_the_margin", 384 * kMiB, true}};
  for (const Case& c : cases) {
    std::string file = path(c.name);
    if (!c.read) {
      // TestLog.evt and nothing more up to nearly the largest file taken.
      write_bytes(file, testlog);
      ASSERT_EQ(truncate(file.c_str(), (off_t{1} << 30) - 65536), 0);
    } else {
      write_one_record(file, 256 * kMiB);
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      long pages = 0;
      std::FILE* statm = std::fopen("/proc/self/statm", "r");
      if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) _exit(90);
      rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + c.margin;
      struct rlimit rl = {limit, limit};
      if (setrlimit(RLIMIT_AS, &rl) != 0) _exit(91);
      HANDLE h = OpenBackupEventLogA(nullptr, file.c_str());
      if (!c.read) _exit(h == nullptr && GetLastError() == 8 ? 0 : 1);
      if (h == nullptr) _exit(2);
      std::vector<uint8_t> buffer(4096);
      DWORD bytes = 0, needed = 0;
      BOOL ok = ReadEventLogA(h, kSeekFwd, 1, buffer.data(), 4096, &bytes, &needed);
      _exit(!ok && GetLastError() == 8 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << c.name << ": ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << c.name;
  }
}

// A log with a small maximum size, written well past it: the oldest records give way, and
// a backup of what is left opens again with the same records.
TEST_F(EvtFiles, WrapAroundThenBackupAndOpenAgain) {
  for (int i = 0; i < 23; ++i) {
    if (i == 1) qvsim::set_log_max_size("Application", 5 * qvsim::log_size("Application"));
    std::u16string text = u"event " + std::u16string(1, u'0' + i / 10) + char16_t(u'0' + i % 10);
    qvsim::write_record("Application", event(100 + i, {text}, {uint8_t(i)}));
  }
  double h = open("Application");
  std::vector<Value> live = read_all(h, 5);
  ASSERT_EQ(live.size(), 5u);
  EXPECT_EQ(live.front().items[0], Value::num(19));
  EXPECT_EQ(live.back().items[7], Value::str("event 22"));
  ASSERT_EQ(run(QVBACKUPEVENTLOG, {Value::num(h), Value::str(path("wrap.evt"))}),
            Value::boolean(true));
  expect_records(path("wrap.evt"), live);
}

// The independent reader of libevt-utils agrees with a backup written here.
TEST_F(EvtFiles, EvtexportReadsOurBackup) {
  if (std::system("command -v evtexport >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "evtexport (Debian package libevt-utils) is not installed";
  qvsim::set_computer_name("QVHOST");
  for (int i = 0; i < 4; ++i) {
    qvsim::RecordView e =
        event(i == 2 ? 0xC0000005u : 10u + i, {}, {1, 2, 3}, qvsim::user_sid("a"));
    for (int s = 0; s <= i; ++s) e.strings.push_back(u"string " + std::u16string(1, u'A' + s));
    if (i < 3) {
      qvsim::write_record("Application", e);
      continue;
    }
    // The last through the export, with its category and data.
    std::vector<Value> strings;
    for (const std::u16string& s : e.strings) strings.push_back(Value::str({s.begin(), s.end()}));
    Value h = run(QVREGEVENTSOURCE, {Value::str(""), Value::str("TestSource")});
    EXPECT_EQ(run(QVREPORTEVENT, {h, Value::num(4), Value::num(13), Value::array(strings),
                                  Value::num(3), Value::str("\1\2\3")}),
              Value::boolean(true));
  }
  double h = open("Application");
  ASSERT_EQ(run(QVBACKUPEVENTLOG, {Value::num(h), Value::str(path("x.evt"))}),
            Value::boolean(true));
  std::vector<Value> ours = read_all(open_backup(path("x.evt")), 5);
  ASSERT_EQ(ours.size(), 4u);

  std::string command = "evtexport '" + path("x.evt") + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::string output;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, n);

  // "Name\t\t\t: value" lines, one block per record.
  std::vector<std::map<std::string, std::string>> theirs;
  size_t pos = 0;
  while (pos < output.size()) {
    size_t eol = output.find('\n', pos);
    std::string line = output.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? output.size() : eol + 1;
    size_t tab = line.find('\t');
    size_t colon = line.find(": ", tab);
    if (tab == std::string::npos || colon == std::string::npos) continue;
    std::string name = line.substr(0, tab);
    if (name == "Event number") theirs.emplace_back();
    if (!theirs.empty()) theirs.back()[name] = line.substr(colon + 2);
  }
  ASSERT_EQ(theirs.size(), ours.size()) << output;
  for (size_t i = 0; i < ours.size(); ++i) {
    const std::vector<Value>& r = ours[i].items;
    char id[64];
    std::snprintf(id, sizeof id, "0x%08x (%u)", static_cast<uint32_t>(int64_t(r[3].number)),
                  static_cast<uint32_t>(int64_t(r[3].number)));
    EXPECT_EQ(theirs[i]["Event number"], std::to_string(int(r[0].number)));
    EXPECT_EQ(theirs[i]["Event identifier"], id);
    EXPECT_EQ(theirs[i]["Source name"], "TestSource");
    EXPECT_EQ(theirs[i]["Computer name"], "QVHOST");
    EXPECT_EQ(theirs[i]["Event category"], std::to_string(int(r[6].number)));
    EXPECT_EQ(theirs[i]["Number of strings"], std::to_string(int(r[5].number)));
    for (size_t s = 7; s < r.size(); ++s)
      EXPECT_EQ(theirs[i]["String: " + std::to_string(s - 6)], r[s].text);
  }
}

}  // namespace
