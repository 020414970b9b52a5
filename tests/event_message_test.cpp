// QVFORMATEVENTMESSAGE: the registry key, the message files, and the strings put in.
#include <stdlib.h>

#include <deque>
#include <thread>

#include "eventlog_fixture.h"
#include "message_file.h"
#include "qvsim/registry_control.h"

namespace {

using namespace qvtest;
using xpp::Arg;

const std::string kSources = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

const std::vector<Message> kAppMessages = {
    {100, "User %1 logged on from %2.%n"},
    {101, "Number %1!d! and wide %2!S! text\r\n"},
    {102, "Value 100%% done, %%5 and %%%1 %. %!"},
    {103, "Unicode message %1", true},
    {104, "first line\nsecond%0ignored"},
    {105, "Status: %1"},
    {106, "Ten: %10, eleven: %11"},
    {107, "%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1%1"},
};
const std::vector<Message> kOtherMessages = {{200, "from the second file %1"}};
const std::vector<Message> kParameters = {{5, "five\r\n"}, {7, "seven"}};
const std::vector<Message> k64Bit = {{300, "64-bit %1"}};
const std::vector<Message> k32Bit = {{300, "32-bit %1"}};

// A source's key: its name under the log and its values (REG_EXPAND_SZ when expand).
struct Key {
  const char* source;
  const char* message_files;
  bool expand = false;
  const char* parameter_files = nullptr;
  const char* category_files = nullptr;
};

struct Case {
  const char* name;
  std::vector<Key> keys;
  std::vector<Arg> args;  // after the log "Application"
  Value expected;
  double error;  // the last error after a result of ""
  bool with_log = true;
  bool wow64 = false;            // the process runs under WOW64
  const char* hidden = nullptr;  // a kernel32 function this Windows lacks
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

Value strings(std::vector<const char*> texts) {
  std::vector<Value> items;
  for (const char* t : texts) items.push_back(Value::str(t));
  return Value::array(items);
}
Arg text(const char* t) { return Value::str(t); }
Arg num(double n) { return Value::num(n); }

// The test's directory holds the message files; keys name them.
class MessageFiles : public EventLogTest {
 protected:
  void SetUp() override {
    EventLogTest::SetUp();
    write_bytes(path("app.dll"), pe_with_message_table(message_table(kAppMessages)));
    write_bytes(path("other.dll"), pe_with_message_table(message_table(kOtherMessages), 0));
    write_bytes(path("params.dll"), pe_with_message_table(message_table(kParameters)));
    write_bytes(path("quorvel.dll"), pe_with_message_table(read_bytes(QV_MESSAGE_TABLE_FILE)));
    write_bytes(path("plain.txt"), {'n', 'o', ' ', 'P', 'E'});
    ASSERT_EQ(mkfifo(path("pipe.dll").c_str(), 0600), 0);
    setenv("QVTEST_DIR", dir_.c_str(), 1);
    // The system folder, 64-bit and 32-bit.
    std::filesystem::create_directories(dir_ / "Windows/System32");
    std::filesystem::create_directories(dir_ / "Windows/SysWOW64");
    write_bytes(path("Windows/System32/both.dll"), pe_with_message_table(message_table(k64Bit)));
    write_bytes(path("Windows/SysWOW64/both.dll"), pe_with_message_table(message_table(k32Bit)));
    write_bytes(path("Windows/System32/only64.dll"), pe_with_message_table(message_table(k64Bit)));
    write_bytes(path("Windows/SysWOW64/only32.dll"), pe_with_message_table(message_table(k32Bit)));
    write_bytes(path("Windows/System32/app.dll"), read_bytes(path("app.dll")));
    write_bytes(path("Windows/System32/params.dll"), read_bytes(path("params.dll")));
    write_bytes(path("Windows/System32/junk.dll"), {'n', 'o', ' ', 'P', 'E'});
    std::filesystem::create_directories(dir_ / "Windows/System32/spool");
    write_bytes(path("Windows/System32/spool/only64.dll"),
                read_bytes(path("Windows/System32/only64.dll")));
    setenv("SystemRoot", path("Windows").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_FALSE(qvsim::redirection_disabled()) << "the redirection is back on";
    unsetenv("SystemRoot");
    unsetenv("QVTEST_DIR");
    EventLogTest::TearDown();
  }

  // The files' names: "@" stands for the test's directory.
  std::string files(const char* list) {
    std::string out;
    for (const char* p = list; *p != 0; ++p) out += *p == '@' ? dir_.string() : std::string(1, *p);
    return out;
  }

  void make_key(const Key& key) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kSources + "Application\\" + key.source).c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              0);
    auto set = [&](const char* name, const std::string& value, DWORD type) {
      RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    };
    if (key.message_files != nullptr)
      set("EventMessageFile", files(key.message_files), key.expand ? REG_EXPAND_SZ : REG_SZ);
    if (key.parameter_files != nullptr)
      set("ParameterMessageFile", files(key.parameter_files), REG_SZ);
    if (key.category_files != nullptr)
      set("CategoryMessageFile", files(key.category_files), REG_EXPAND_SZ);
    RegCloseKey(h);
  }
};

class EventMessage : public MessageFiles, public ::testing::WithParamInterface<Case> {};

TEST_P(EventMessage, AsTheEventViewerShowsIt) {
  const Case& c = GetParam();
  for (const Key& key : c.keys) make_key(key);
  qvsim::set_wow64(c.wow64);
  if (c.hidden != nullptr) qvsim::hide_procedure("kernel32.dll", c.hidden);
  std::vector<Arg> args;
  if (c.with_log) args.push_back(text("Application"));
  args.insert(args.end(), c.args.begin(), c.args.end());
  SetLastError(0);
  Value got = run(QVFORMATEVENTMESSAGE, args);
  EXPECT_EQ(got, c.expected);
  if (got == Value::str("")) {
    EXPECT_EQ(last_error(), c.error);
  }
  EXPECT_EQ(qvsim::loaded_modules(), 0) << "every file is freed within the call";
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

const Key kApp = {"App", "@/app.dll"};
const Key kOnly32 = {"App", "@/Windows/System32/only32.dll"};

// Message 300 from a file of the system folder, in a 32-bit process on 64-bit Windows.
Case wow64(const char* name, const char* file, Value expected, double error,
           const char* hidden = nullptr) {
  static std::deque<std::string> paths;  // the rows keep pointers into it
  const char* path = paths.emplace_back(std::string("@/Windows/System32/") + file).c_str();
  return Case{name, {{"App", path}}, {text("App"), num(300), strings({"x"})}, expected, error, true,
              true, hidden};
}
const Key kAppWithParameters = {"App", "@/app.dll", false, "@/missing.dll;@/params.dll"};
const Key kAppWithCategories = {"App", "@/app.dll", false, "@/params.dll",
                                "%QVTEST_DIR%/other.dll"};

INSTANTIATE_TEST_SUITE_P(
    Exports, EventMessage,
    ::testing::Values(
        // The registry.
        Case{"NotRegistered", {}, {text("App"), num(100), strings({"a", "b"})}, Value::str(""), 2},
        Case{"NoStrings",
             {kApp},
             {text("App"), num(100)},
             Value::str("User %1 logged on from %2.\r\n"),
             0},
        Case{"NoMessageFileValue", {{"App", nullptr}}, {text("App"), num(100)}, Value::str(""), 2},
        Case{"ExpandedPath",
             {{"App", "%QVTEST_DIR%/app.dll", true}},
             {text("App"), num(100), strings({"bob", "PC"})},
             Value::str("User bob logged on from PC.\r\n"),
             0},
        Case{"UnknownVariableStays",
             {{"App", "%QVTEST_NOWHERE%/app.dll", true}},
             {text("App"), num(100)},
             Value::str(""),
             3},
        // The files.
        Case{"MissingFile", {{"App", "@/missing.dll"}}, {text("App"), num(100)}, Value::str(""), 2},
        Case{"NotAModule", {{"App", "@/plain.txt"}}, {text("App"), num(100)}, Value::str(""), 193},
        // A named pipe is refused from its type, without waiting for a writer.
        Case{"NamedPipe", {{"App", "@/pipe.dll"}}, {text("App"), num(100)}, Value::str(""), 5},
        Case{"MessageInNoFile", {kApp}, {text("App"), num(999)}, Value::str(""), 317},
        Case{"FilesInOrder",
             {{"App", "; @/missing.dll ; @/plain.txt;;@/app.dll;@/other.dll"}},
             {text("App"), num(200), strings({"x"})},
             Value::str("from the second file x"),
             0},
        Case{"FirstFileWins",
             {{"App", "@/other.dll;@/app.dll"}},
             {text("App"), num(105), strings({"ok"})},
             Value::str("Status: ok"),
             0},
        Case{"OwnModule",
             {{"App", "@/quorvel.dll"}},
             {text("App"), num(1000), strings({"Hello from Xbase++"})},
             Value::str("Hello from Xbase++\r\n"),
             0},
        Case{"OwnModuleHasNoZero",
             {{"App", "@/quorvel.dll"}},
             {text("App"), num(0)},
             Value::str(""),
             317},
        Case{"UnicodeMessage",
             {kApp},
             {text("App"), num(103), strings({"x"})},
             Value::str("Unicode message x"),
             0},
        Case{"LineEndsAndEnd",
             {kApp},
             {text("App"), num(104)},
             Value::str("first line\r\nsecond"),
             0},
        // The strings.
        Case{"MissingInsertStays",
             {kApp},
             {text("App"), num(100), strings({"bob"})},
             Value::str("User bob logged on from %2.\r\n"),
             0},
        Case{"NonTextElementStays",
             {kApp},
             {text("App"), num(100), Value::array({Value::str("bob"), Value::num(42)})},
             Value::str("User bob logged on from %2.\r\n"),
             0},
        Case{"FormatsNotApplied",
             {kApp},
             {text("App"), num(101), strings({"12", "wide"})},
             Value::str("Number 12 and wide wide text\r\n"),
             0},
        Case{"FormatsOfMissingStay",
             {kApp},
             {text("App"), num(101), strings({})},
             Value::str("Number %1!d! and wide %2!S! text\r\n"),
             0},
        Case{"TwoDigitInserts",
             {kApp},
             {text("App"), num(106), strings({"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"})},
             Value::str("Ten: ten, eleven: %11"),
             0},
        Case{"StringsNil",
             {kApp},
             {text("App"), num(100), Value::nil()},
             Value::str("User %1 logged on from %2.\r\n"),
             0},
        Case{"LongStringCut",
             {kApp},
             {text("App"), num(105), Value::array({Value::str(std::string(40000, 'x'))})},
             Value::str("Status: " + std::string(32767, 'x')),
             0},
        // The text returned is cut at 1 MiB: 35 times a string of 32767 characters.
        Case{"ResultCut",
             {kApp},
             {text("App"), num(107), Value::array({Value::str(std::string(32767, 'x'))})},
             Value::str(std::string(1024 * 1024, 'x')),
             0},
        Case{"InsertsNotRepeated",
             {kApp},
             {text("App"), num(105), strings({"%1 %2"})},
             Value::str("Status: %1 %2"),
             0},
        Case{"ParameterMessages",
             {kAppWithParameters},
             {text("App"), num(102), strings({"7"})},
             Value::str("Value 100% done, five and %7 . !"),
             0},
        Case{"ParameterInAString",
             {kAppWithParameters},
             {text("App"), num(105), strings({"%%7 and %%8"})},
             Value::str("Status: seven and %%8"),
             0},
        Case{"NoParameterFile",
             {kApp},
             {text("App"), num(105), strings({"%%7"})},
             Value::str("Status: %%7"),
             0},
        // Categories, from the category message file with .T.
        Case{"Category",
             {kAppWithCategories},
             {text("App"), num(200), strings({"%%5"}), Value::boolean(true)},
             Value::str("from the second file five"),
             0},
        Case{"NoCategoryFile",
             {kApp},
             {text("App"), num(105), Value::nil(), Value::boolean(true)},
             Value::str(""),
             2},
        // A 32-bit process on 64-bit Windows: the 64-bit system folder first, then the path as
        // the 32-bit process sees it; the first load's error.
        wow64("Wow64SystemFolderFirst", "both.dll", Value::str("64-bit x"), 0),
        wow64("Wow64OnlyIn64BitFolder", "only64.dll", Value::str("64-bit x"), 0),
        wow64("Wow64OnlyIn32BitFolder", "only32.dll", Value::str("32-bit x"), 0),
        wow64("Wow64FirstLoadsError", "junk.dll", Value::str(""), 193),
        Case{"Wow64ParameterFile",
             {{"App", "@/app.dll", false, "@/Windows/System32/params.dll"}},
             {text("App"), num(105), strings({"%%5"})},
             Value::str("Status: five"),
             0,
             true,
             true},
        Case{"NotWow64", {kOnly32}, {text("App"), num(300)}, Value::str(""), 2},
        // Windows XP: no redirection to turn off, the path as the process sees it.
        wow64("Wow64WithoutTheSwitch", "both.dll", Value::str("32-bit x"), 0,
              "Wow64DisableWow64FsRedirection"),
        wow64("Wow64SpoolNeverRedirected", "spool/only64.dll", Value::str("64-bit x"), 0,
              "Wow64DisableWow64FsRedirection"),
        // Refusals.
        Case{"NoLog", {kApp}, {text(""), text("App")}, Value::num(ERR_MISSING_FIRST), 0, false},
        Case{"NoSource", {kApp}, {text(""), num(100)}, Value::num(ERR_MISSING_SECOND), 0},
        Case{"StringsNotAnArray",
             {kApp},
             {text("App"), num(100), text("bob")},
             Value::num(ERR_MISSING_TEXT),
             0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Threads rendering at once each get their own strings in their own message.
class MessageThreads : public MessageFiles {};

TEST_F(MessageThreads, EachCallKeepsToItsOwnStrings) {
  make_key({"App", "@/app.dll;@/other.dll"});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) {
        std::string mine = std::to_string(t) + "/" + std::to_string(i);
        bool second = (i + t) % 2 == 1;
        xpp::CallResult r = xpp::call(QVFORMATEVENTMESSAGE,
                                      {text("Application"), text("App"), num(second ? 200 : 105),
                                       Value::array({Value::str(mine)})});
        EXPECT_EQ(r.value, Value::str((second ? "from the second file " : "Status: ") + mine));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(qvsim::loaded_modules(), 0);
}

// Each Windows service the export calls, failing: "" and the reason, or the message where
// the export can do without the service; nothing left loaded or open.
struct ServiceFault {
  const char* name;
  const char* service;
  DWORD error;
  Value expected;
  double last_error;
};
void PrintTo(const ServiceFault& f, std::ostream* os) { *os << f.name; }

class MessageFault : public MessageFiles, public ::testing::WithParamInterface<ServiceFault> {};

TEST_P(MessageFault, ReachesTheCaller) {
  const ServiceFault& f = GetParam();
  make_key({"App", "@/Windows/System32/app.dll", true});  // in the 64-bit folder only
  qvsim::set_wow64(true);
  // The run-time's character-set services are looked up at the process's first text.
  run(QVCHECKEVENTKEY, {text("App")});
  qvsim::fail_next(f.service, f.error);
  Value got =
      run(QVFORMATEVENTMESSAGE, {text("Application"), text("App"), num(105), strings({"ok"})});
  EXPECT_EQ(got, f.expected);
  if (got == Value::str("")) {
    EXPECT_EQ(last_error(), f.last_error);
  }
  qvsim::clear_faults();
  EXPECT_EQ(qvsim::loaded_modules(), 0);
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

const Value kRendered = Value::str("Status: ok");

INSTANTIATE_TEST_SUITE_P(
    Services, MessageFault,
    ::testing::Values(ServiceFault{"KeyNotOpened", "RegOpenKeyExA", 5, Value::str(""), 5},
                      ServiceFault{"ValueNotRead", "RegQueryValueExA", 5, Value::str(""), 5},
                      ServiceFault{"NotExpanded", "ExpandEnvironmentStringsA", 8, kRendered, 0},
                      ServiceFault{"NotLoaded", "LoadLibraryExA", 8, Value::str(""), 8},
                      // Without them the file is loaded as the 32-bit process sees it.
                      ServiceFault{"NoKernel32", "GetModuleHandleA", 126, Value::str(""), 2},
                      ServiceFault{"NoFunction", "GetProcAddress", 127, Value::str(""), 2},
                      ServiceFault{"NotKnownAsWow64", "IsWow64Process", 5, Value::str(""), 2},
                      ServiceFault{"RedirectionStaysOn", "Wow64DisableWow64FsRedirection", 5,
                                   Value::str(""), 2},
                      ServiceFault{"NotFormatted", "FormatMessageA", 8, Value::str(""), 317},
                      ServiceFault{"NoMemory", "HeapAlloc", 0, Value::str(""), 8}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
