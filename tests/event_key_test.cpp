// QVCREATEEVENTKEY, QVDELEVENTKEY and QVCHECKEVENTKEY against the simulated registry.
#include <gtest/gtest.h>

#include <locale.h>
#include <wctype.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "writing/event_log_key.h"
#include "qvsim/control.h"
#include "qvsim/registry_control.h"
#include "xpprt/host.h"

namespace {

const std::string kEventLog = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\";
const std::string kApplication = kEventLog + "Application";

class EventKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { qvsim::reset(); }

  // Calls the export and returns its numeric result; the call must be clean.
  static double run(xpp::ExportFn fn, const std::vector<xpp::Arg>& args) {
    xpp::CallResult r = xpp::call(fn, args);
    EXPECT_TRUE(r.violations.empty()) << r.violations.front();
    EXPECT_EQ(r.results_set, 1);
    EXPECT_TRUE(r.value.is_number());
    return r.value.number;
  }
  // The log, when one is named, as the last parameter.
  static std::vector<xpp::Arg> with_log(std::vector<xpp::Arg> args, const std::string& log) {
    if (!log.empty()) args.push_back(xpp::Value::str(log));
    return args;
  }
  static double create(const std::string& source, const std::string& file,
                       const std::string& log = "") {
    return run(QVCREATEEVENTKEY,
               with_log({xpp::Value::str(source), xpp::Value::str(file), xpp::absent()}, log));
  }
  static double remove(const std::string& source, const std::string& log = "") {
    return run(QVDELEVENTKEY, with_log({xpp::Value::str(source)}, log));
  }
  static double check(const std::string& source, const std::string& log = "") {
    return run(QVCHECKEVENTKEY, with_log({xpp::Value::str(source)}, log));
  }
  static qvsim::RegistryKeyView source_key(const std::string& source) {
    return qvsim::registry_key(kApplication + "\\" + source);
  }
  static std::optional<qvsim::RegistryValueView> value(const qvsim::RegistryKeyView& key,
                                                       const std::string& name) {
    for (const auto& v : key.values) {
      if (v.name == name) return v;
    }
    return std::nullopt;
  }
  static std::vector<uint8_t> sz(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
  }
  static std::vector<uint8_t> multi_sz(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += text + '\0';
    return sz(joined);
  }
  // A key under the EventLog key, made directly in the registry.
  static void make_key(const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kEventLog + path).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(EventKeyTest, CreateCheckDeleteCheck) {
  EXPECT_EQ(create("QvApp", "C:\\App\\quorvel.dll"), 0);
  EXPECT_EQ(check("QvApp"), 0);
  EXPECT_EQ(remove("QvApp"), 0);
  EXPECT_EQ(check("QvApp"), ERR_KEY_FAILED);
  EXPECT_EQ(remove("QvApp"), ERR_KEY_FAILED);
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

TEST_F(EventKeyTest, CreatedKeyNamesTheMessageFileAndTheEventTypes) {
  ASSERT_EQ(create("QvApp", "C:\\App\\quorvel.dll"), 0);
  qvsim::RegistryKeyView key = source_key("QvApp");
  ASSERT_TRUE(key.exists);
  EXPECT_TRUE(key.is_volatile);
  ASSERT_EQ(key.values.size(), 2u);
  std::optional<qvsim::RegistryValueView> types = value(key, "TypesSupported");
  ASSERT_TRUE(types.has_value());
  EXPECT_EQ(types->type, static_cast<uint32_t>(REG_DWORD));
  EXPECT_EQ(types->data, (std::vector<uint8_t>{7, 0, 0, 0}));
  std::optional<qvsim::RegistryValueView> file = value(key, "EventMessageFile");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->type, static_cast<uint32_t>(REG_SZ));
  EXPECT_EQ(file->data, sz("C:\\App\\quorvel.dll"));
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

// The category file with its count, and the parameter file, written over the values of a
// key that exists; a path holding an environment variable is REG_EXPAND_SZ.
TEST_F(EventKeyTest, KeyNamesTheFilesGiven) {
  using Stored = std::tuple<std::string, uint32_t, std::vector<uint8_t>>;
  const auto S = [](const std::string& text) { return xpp::Arg(xpp::Value::str(text)); };
  ASSERT_EQ(create("QvApp", "C:\\old.dll"), 0);
  ASSERT_EQ(run(QVCREATEEVENTKEY, {S("QvApp"),
                                   S("%ProgramFiles%\\q.dll"),
                                   {},
                                   {},
                                   S("C:\\c.dll"),
                                   xpp::Value::num(65535),
                                   S("%P%\\p.dll")}),
            0);
  std::vector<Stored> values;
  for (const auto& v : source_key("QvApp").values) values.emplace_back(v.name, v.type, v.data);
  EXPECT_EQ(values,
            (std::vector<Stored>{{"TypesSupported", REG_DWORD, {7, 0, 0, 0}},
                                 {"EventMessageFile", REG_EXPAND_SZ, sz("%ProgramFiles%\\q.dll")},
                                 {"CategoryMessageFile", REG_SZ, sz("C:\\c.dll")},
                                 {"CategoryCount", REG_DWORD, {255, 255, 0, 0}},
                                 {"ParameterMessageFile", REG_EXPAND_SZ, sz("%P%\\p.dll")}}));
}

TEST_F(EventKeyTest, CreatingAgainLeavesOneKeyHoldingTheSecondPath) {
  EXPECT_EQ(create("QvApp", "C:\\first.dll"), 0);
  EXPECT_EQ(create("QVAPP", "C:\\second.dll"), 0);
  std::vector<std::string> sources = qvsim::registry_key(kApplication).subkeys;
  EXPECT_EQ(sources, std::vector<std::string>{"QvApp"});
  EXPECT_EQ(value(source_key("QvApp"), "EventMessageFile")->data, sz("C:\\second.dll"));
}

TEST_F(EventKeyTest, KeyLastsUntilTheSystemRestarts) {
  ASSERT_EQ(create("QvApp", "C:\\quorvel.dll"), 0);
  qvsim::restart_registry();
  EXPECT_EQ(check("QvApp"), ERR_KEY_FAILED);
  EXPECT_TRUE(qvsim::registry_key(kApplication).exists);
}

// The third parameter: only .T. asks for a key that lasts past a restart.
struct Lasting {
  const char* name;
  xpp::Arg third;
  bool lasts;
};
void PrintTo(const Lasting& l, std::ostream* os) { *os << l.name; }

class LastingKey : public EventKeyTest, public ::testing::WithParamInterface<Lasting> {};

// A log that the call creates takes the kind of its source.
TEST_P(LastingKey, OnlyTrueMakesItLast) {
  for (std::string log : {"Application", "QvOwnLog"}) {
    EXPECT_EQ(run(QVCREATEEVENTKEY, {xpp::Value::str("Qv" + log), xpp::Value::str("C:\\q.dll"),
                                     GetParam().third, xpp::Value::str(log)}),
              0);
    EXPECT_EQ(qvsim::registry_key(kEventLog + log + "\\Qv" + log).is_volatile, !GetParam().lasts);
  }
  EXPECT_EQ(qvsim::registry_key(kEventLog + "QvOwnLog").is_volatile, !GetParam().lasts);
  qvsim::restart();
  EXPECT_EQ(check("QvApplication"), GetParam().lasts ? 0 : ERR_KEY_FAILED);
  EXPECT_EQ(qvsim::registry_key(kApplication).subkeys.size(), GetParam().lasts ? 1u : 0u);
  EXPECT_EQ(qvsim::registry_key(kEventLog + "QvOwnLog").exists, GetParam().lasts);
}

INSTANTIATE_TEST_SUITE_P(
    ThirdParameter, LastingKey,
    ::testing::Values(Lasting{"True", xpp::Value::boolean(true), true},
                      Lasting{"False", xpp::Value::boolean(false), false},
                      Lasting{"Absent", xpp::absent(), false},
                      Lasting{"Nil", xpp::Value::nil(), false},
                      Lasting{"One", xpp::Value::num(1), false},
                      Lasting{"TextT", xpp::Value::str(".T."), false},
                      Lasting{"Date", xpp::Value::date("20041109"), false},
                      Lasting{"Array", xpp::Value::array({xpp::Value::boolean(true)}), false}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// A key that exists keeps its kind and its other values: .T. only chooses for a new key.
TEST_F(EventKeyTest, ExistingKeyKeepsItsKind) {
  ASSERT_EQ(create("QvApp", "C:\\first.dll"), 0);
  xpp::CallResult r = xpp::call(
      QVCREATEEVENTKEY,
      {xpp::Value::str("QvApp"), xpp::Value::str("C:\\second.dll"), xpp::Value::boolean(true)});
  EXPECT_EQ(r.value, xpp::Value::num(0));
  EXPECT_TRUE(source_key("QvApp").is_volatile);
  EXPECT_EQ(value(source_key("QvApp"), "EventMessageFile")->data, sz("C:\\second.dll"));
}

TEST_F(EventKeyTest, MissingNamesAreRefusedWithoutTouchingTheRegistry) {
  struct Case {
    std::string what;
    xpp::ExportFn fn;
    std::vector<xpp::Arg> args;
    double expected;
    DWORD last_error = 1234;  // unchanged unless a log name is refused
  };
  std::vector<Case> cases = {
      {"create, empty source",
       QVCREATEEVENTKEY,
       {xpp::Value::str(""), xpp::Value::str("C:\\a")},
       ERR_MISSING_FIRST},
      {"create, no source",
       QVCREATEEVENTKEY,
       {xpp::absent(), xpp::Value::str("C:\\a")},
       ERR_MISSING_FIRST},
      {"create, numeric source",
       QVCREATEEVENTKEY,
       {xpp::Value::num(1), xpp::Value::str("C:\\a")},
       ERR_MISSING_FIRST},
      {"create, empty path",
       QVCREATEEVENTKEY,
       {xpp::Value::str("QvApp"), xpp::Value::str("")},
       ERR_MISSING_SECOND},
      {"create, no path", QVCREATEEVENTKEY, {xpp::Value::str("QvApp")}, ERR_MISSING_SECOND},
      {"create, numeric path",
       QVCREATEEVENTKEY,
       {xpp::Value::str("QvApp"), xpp::Value::num(2)},
       ERR_MISSING_SECOND},
      {"delete, empty source", QVDELEVENTKEY, {xpp::Value::str("")}, ERR_MISSING_FIRST},
      {"delete, no source", QVDELEVENTKEY, {}, ERR_MISSING_FIRST},
      {"check, empty source", QVCHECKEVENTKEY, {xpp::Value::str("")}, ERR_MISSING_FIRST},
      {"check, nil source", QVCHECKEVENTKEY, {xpp::Value::nil()}, ERR_MISSING_FIRST},
  };
  // Names no log may have: 123, also as the last error; -1102 from delete and check.
  const auto S = [](const std::string& text) { return xpp::Arg(xpp::Value::str(text)); };
  for (std::string log :
       {std::string("Qv\\Log"), std::string(256, 'L'), std::string(300, 'L'), std::string("Qv:Log"),
        std::string("Qv\tLog"), std::string("security"), std::string("SysEvent")})
    cases.push_back({"create in " + log.substr(0, 9),
                     QVCREATEEVENTKEY,
                     {S("Qv"), S("C:\\a"), {}, S(log)},
                     123,
                     123});
  cases.push_back({"delete, Security", QVDELEVENTKEY, {S("QvApp"), S("Security")}, -1102, 123});
  cases.push_back({"check, a\\b", QVCHECKEVENTKEY, {S("QvApp"), S("a\\b")}, -1102, 123});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvsim::reset();
    SetLastError(1234);
    // Faults wait for the next registry call: still there afterwards, none was made.
    for (const char* service : {"RegCreateKeyExA", "RegOpenKeyExA", "RegDeleteKeyA"})
      qvsim::fail_next(service, 4321);
    EXPECT_EQ(run(c.fn, c.args), c.expected);
    EXPECT_EQ(GetLastError(), c.last_error);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), 4321);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\None"), 4321);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\None", 0, nullptr, 0, KEY_READ,
                              nullptr, &key, nullptr),
              4321);
    EXPECT_TRUE(qvsim::registry_key(kApplication).subkeys.empty());
  }
}

TEST_F(EventKeyTest, WithoutAdministratorRightsNothingIsWritten) {
  qvsim::set_admin(false);
  EXPECT_EQ(create("QvApp", "C:\\quorvel.dll"), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(source_key("QvApp").exists);

  qvsim::set_admin(true);
  ASSERT_EQ(create("QvApp", "C:\\first.dll"), 0);
  qvsim::set_admin(false);
  EXPECT_EQ(create("QvApp", "C:\\second.dll"), ERROR_ACCESS_DENIED);  // opened for writing
  EXPECT_EQ(remove("QvApp"), ERR_KEY_FAILED);
  EXPECT_EQ(check("QvApp"), 0);  // reading is allowed
  EXPECT_EQ(value(source_key("QvApp"), "EventMessageFile")->data, sz("C:\\first.dll"));
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

TEST_F(EventKeyTest, CreationFailurePassesTheRegistryCodeOn) {
  for (uint32_t code : {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}) {
    qvsim::fail_next("RegCreateKeyExA", code);
    EXPECT_EQ(create("QvApp", "C:\\quorvel.dll"), code);
    EXPECT_FALSE(source_key("QvApp").exists);
  }
  qvsim::fail_next("RegEnumKeyExA", 8);  // the logs cannot be listed: no log is made
  EXPECT_EQ(create("QvApp", "C:\\quorvel.dll", "QvLog"), 8);
  EXPECT_FALSE(qvsim::registry_key(kEventLog + "QvLog").exists);
}

// A key without its values renders no message: a failed write is reported, and a key
// the call created is removed again.
TEST_F(EventKeyTest, FailedValueWritesAreReported) {
  struct Case {
    const char* what;
    bool existed;
    int failures;  // of the two writes
    int first;     // the first write that fails: 0 or 1; for a new log, after its own 5
    const char* log = "";
    bool log_existed = false;  // with another source
  };
  for (Case c :
       {Case{"new key, first write", false, 1, 0}, Case{"new key, both writes", false, 2, 0},
        Case{"new key, second write", false, 1, 1}, Case{"existing key, first write", true, 1, 0},
        Case{"existing key, second write", true, 1, 1}, Case{"new log", false, 1, 0, "QvLog"},
        Case{"new log, its Sources", false, 1, 4, "QvLog"},
        Case{"new log, second write", false, 1, 6, "QvLog"},
        Case{"existing log, new key", false, 1, 0, "QvLog", true}}) {
    SCOPED_TRACE(c.what);
    qvsim::reset();
    if (c.existed) {
      ASSERT_EQ(create("QvApp", "C:\\old.dll"), 0);
    }
    if (c.log_existed) {
      ASSERT_EQ(create("QvOther", "C:\\old.dll", c.log), 0);
    }
    qvsim::fail_next("RegSetValueExA", ERROR_NOT_ENOUGH_MEMORY, c.failures, c.first);
    EXPECT_EQ(create("QvApp", "C:\\new.dll", c.log), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(check("QvApp", c.log), c.existed ? 0 : ERR_KEY_FAILED);
    EXPECT_EQ(qvsim::registry_key(kEventLog + c.log).exists, *c.log == '\0' || c.log_existed);
    if (c.log_existed) {
      EXPECT_EQ(value(qvsim::registry_key(kEventLog + c.log), "Sources")->data,
                multi_sz({"QvOther", c.log}));
    }
    EXPECT_EQ(qvsim::open_registry_keys(), 0);
  }
}

// A longer path is refused whole, never cut: no key, and 206 as the last error.
TEST_F(EventKeyTest, MessageFilePathOfUpTo259CharactersIsStoredWhole) {
  struct Case {
    size_t given;
    double created;
  };
  for (Case c : {Case{259, 0}, Case{1, 0}, Case{260, ERROR_FILENAME_EXCED_RANGE},
                 Case{300, ERROR_FILENAME_EXCED_RANGE}}) {
    SCOPED_TRACE(c.given);
    qvsim::reset();
    std::string path(c.given, 'p');
    path.back() = 'z';
    ASSERT_EQ(create("QvApp", path), c.created);
    if (c.created != 0) {
      EXPECT_FALSE(source_key("QvApp").exists);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
      continue;
    }
    std::optional<qvsim::RegistryValueView> file = value(source_key("QvApp"), "EventMessageFile");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->data.size(), c.given + 1);
    EXPECT_EQ(file->data, sz(path));
  }
}

TEST_F(EventKeyTest, LongSourceNamesReachTheRegistryWhole) {
  struct Case {
    size_t chars;    // as given
    double created;  // the registry refuses names over 255 characters, the library
                     // those over 259
  };
  for (Case c : {Case{204, 0}, Case{205, 0}, Case{255, 0}, Case{256, ERROR_INVALID_PARAMETER},
                 Case{259, ERROR_INVALID_PARAMETER}, Case{260, ERROR_FILENAME_EXCED_RANGE},
                 Case{300, ERROR_FILENAME_EXCED_RANGE}}) {
    SCOPED_TRACE(c.chars);
    qvsim::reset();
    std::string source(c.chars, 's');
    source.front() = 'Q';
    source.back() = 'z';  // lost if the name were cut
    EXPECT_EQ(create(source, "C:\\quorvel.dll"), c.created);
    double present = c.created == 0 ? 0 : ERR_KEY_FAILED;
    EXPECT_EQ(check(source), present);
    if (c.created == 0) {
      EXPECT_EQ(qvsim::registry_key(kApplication).subkeys, std::vector<std::string>{source});
    } else {
      EXPECT_TRUE(qvsim::registry_key(kApplication).subkeys.empty());
    }
    EXPECT_EQ(remove(source), present);
    EXPECT_EQ(check(source), ERR_KEY_FAILED);
  }
}

TEST_F(EventKeyTest, DeletingAKeyWithSubkeysFails) {
  ASSERT_EQ(create("QvApp\\Sub", "C:\\quorvel.dll"), 0);
  EXPECT_EQ(remove("QvApp"), ERR_KEY_FAILED);
  EXPECT_EQ(remove("QvApp\\Sub"), 0);
  EXPECT_EQ(remove("QvApp"), 0);
}

TEST_F(EventKeyTest, RegistryFailuresLeaveTheLastErrorAlone) {
  SetLastError(1234);
  EXPECT_EQ(check("Nobody"), ERR_KEY_FAILED);
  EXPECT_EQ(remove("Nobody"), ERR_KEY_FAILED);
  qvsim::set_admin(false);
  EXPECT_EQ(create("Nobody", "C:\\quorvel.dll"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), 1234u);
}

// A new log is described as Windows describes a log, and lists its sources, newest first,
// and itself last; the list follows its sources, which come and go without the log.
TEST_F(EventKeyTest, NewLogIsDescribedAndListsItsSources) {
  using Stored = std::tuple<std::string, uint32_t, std::vector<uint8_t>>;
  const auto log_values = [] {
    std::vector<Stored> all;
    for (const auto& v : qvsim::registry_key(kEventLog + "QvLog").values)
      all.emplace_back(v.name, v.type, v.data);
    return all;
  };
  const auto sources = [&] { return std::get<2>(log_values().back()); };
  const std::vector<uint8_t> half_mib = {0, 0, 8, 0}, none = {0, 0, 0, 0};
  ASSERT_EQ(create("QvFirst", "C:\\q.dll", "QvLog"), 0);
  EXPECT_EQ(
      log_values(),
      (std::vector<Stored>{{"File", REG_EXPAND_SZ, sz("%SystemRoot%\\System32\\config\\QvLog.evt")},
                           {"MaxSize", REG_DWORD, half_mib},
                           {"Retention", REG_DWORD, none},
                           {"AutoBackupLogFiles", REG_DWORD, none},
                           {"Sources", REG_MULTI_SZ, multi_sz({"QvFirst", "QvLog"})}}));
  ASSERT_EQ(create("QvSecond", "C:\\q.dll", "qvlog"), 0);
  ASSERT_EQ(create("QVSECOND", "C:\\q.dll", "QvLog"), 0);  // listed already
  EXPECT_EQ(sources(), multi_sz({"QvSecond", "QvFirst", "QvLog"}));
  EXPECT_EQ(remove("qvfirst", "QvLog"), 0);
  EXPECT_EQ(sources(), multi_sz({"QvSecond", "QvLog"}));
  EXPECT_EQ(remove("QvSecond", "QvLog"), 0);
  EXPECT_EQ(sources(), multi_sz({"QvLog"}));
  EXPECT_TRUE(qvsim::registry_key(kEventLog + "QvLog").subkeys.empty());
  ASSERT_EQ(create("QvLog", "C:\\q.dll", "QvLog"), 0);  // the log's own name: listed once
  EXPECT_EQ(sources(), multi_sz({"QvLog"}));
  EXPECT_EQ(create("QvLongest", "C:\\q.dll", std::string(255, 'L')), 0);  // the longest name
}

// A name belongs to one log, as a source key of it or as its own name: adding it under
// another log is refused and changes nothing, with the log named or not.
TEST_F(EventKeyTest, ASourceNameBelongsToOneLog) {
  struct Case {
    const char *existing, *source, *log;  // the key made first is under the EventLog key
    double created;
  };
  for (Case c :
       {Case{"Application\\QvApp", "QvApp", "QvLog", ERROR_ALREADY_EXISTS},
        Case{"QvLog\\QvApp", "qvapp", "", ERROR_ALREADY_EXISTS},
        Case{"Security\\QvApp", "QvApp", "Application", ERROR_ALREADY_EXISTS},
        Case{"QvLog\\QvApp", "System", "", ERROR_ALREADY_EXISTS},
        Case{"QvLog\\QvApp", "QvNew", "QVAPP", ERROR_ALREADY_EXISTS},
        Case{"QvLog\\QvApz", "QVAPZ", "", ERROR_ALREADY_EXISTS},
        Case{"QvLog\\QvApp", "QvApp", "QVLOG", 0}, Case{"QvLog\\QvApp", "QvOther", "System", 0},
        // Every letter in either case: Ü and ü, Š and š, Ž and ž, Ÿ and ÿ in code page 1252.
        Case{"\xDC"
             "berwachung\\QvApp",
             "QvApp",
             "\xFC"
             "berwachung",
             0},
        Case{"\x8A\x8E\x9F\\QvApp", "QvApp", "\x9A\x9E\xFF", 0},
        Case{"QvLog\\Qv\xDC\x8A\x8E\x9F", "Qv\xFC\x9A\x9E\xFF", "", ERROR_ALREADY_EXISTS}}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.source) + " in " + c.log));
    qvsim::reset();
    make_key(c.existing);
    const std::vector<std::string> logs = qvsim::registry_key(kEventLog).subkeys;
    EXPECT_EQ(create(c.source, "C:\\q.dll", c.log), c.created);
    EXPECT_EQ(check(c.source, c.log), c.created == 0 ? 0 : ERR_KEY_FAILED);
    EXPECT_EQ(qvsim::registry_key(kEventLog).subkeys, logs);
  }
}

// The registry's folding of names agrees with Unicode's upper case (the C library's) on the
// letters of the ANSI code pages' alphabets.
TEST_F(EventKeyTest, NamesFoldedAsUnicodeUpperCase) {
  const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  ASSERT_NE(unicode, nullptr);
  for (auto [first, last] :
       {std::pair{0x0000, 0x017F}, std::pair{0x0391, 0x03CB}, std::pair{0x0400, 0x045F}}) {
    for (int c = first; c <= last; ++c) {
      // Micro, dotless i and long s have their own letters in other alphabets.
      if (c == 0xB5 || c == 0x131 || c == 0x17F || (c > 0x3AB && c < 0x3B1)) continue;
      EXPECT_EQ(qv::name_upper_case(static_cast<WCHAR>(c)), towupper_l(c, unicode)) << c;
    }
  }
  freelocale(unicode);
}

// Events go to the log whose key holds the source's key; to Application otherwise.
TEST_F(EventKeyTest, SourceWritesToTheLogHoldingItsKey) {
  struct Case {
    const char* key;  // under the EventLog key; null for none
    const char* log;
  };
  for (Case c : {Case{"System\\QvDriver", "System"}, Case{"Application\\QvDriver", "Application"},
                 Case{"SECURITY\\qvdriver", "Security"}, Case{"QvOwnLog\\QvDriver", "QvOwnLog"},
                 Case{nullptr, "Application"}}) {
    SCOPED_TRACE(c.log);
    qvsim::reset();
    if (c.key != nullptr) make_key(c.key);
    double handle = run(QVREGEVENTSOURCE, {xpp::Value::str(""), xpp::Value::str("QvDriver")});
    ASSERT_GT(handle, 0);
    xpp::CallResult written =
        xpp::call(QVREPORTEVENT, {xpp::Value::num(handle), xpp::Value::num(4), xpp::Value::num(1),
                                  xpp::Value::str("started")});
    EXPECT_TRUE(written.value.logical);
    for (const char* log : {"Application", "System", "Security", "QvOwnLog"})
      EXPECT_EQ(qvsim::log_records(log).size(), std::strcmp(log, c.log) == 0 ? 1u : 0u) << log;
    EXPECT_TRUE(xpp::call(QVDEREGEVENTSOURCE, {xpp::Value::num(handle)}).value.logical);
  }
}

TEST_F(EventKeyTest, ThreadsWorkOnTheirOwnKeys) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      std::string source = "QvThread" + std::to_string(t);
      for (int i = 0; i < 20; ++i) {
        failures[t] += create(source, "C:\\quorvel.dll") != 0;
        failures[t] += check(source) != 0;
        failures[t] += remove(source) != 0;
        failures[t] += check(source) != ERR_KEY_FAILED;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_TRUE(qvsim::registry_key(kApplication).subkeys.empty());
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

}  // namespace
