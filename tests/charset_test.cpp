// Texts of an Xbase++ thread whose character set is OEM (code page 850) reach Windows in its
// ANSI code page (1252) and come back in OEM; an ANSI thread's pass unchanged, and so do
// everyone's when the run-time lacks the conversions.
#include <dlfcn.h>

#include <functional>

#include "host/exports.h"
#include "qvsim/eventlog_control.h"
#include "qvsim/registry_control.h"
#include "sim_fixture.h"

namespace {

const std::string kApplication = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// What Windows, or the caller, sees of a text that crossed.
struct Crossing {
  const char* name;
  std::function<std::string(xpp::ExportFn (*)(const char*))> cross;
  std::string oem_thread;
  std::string ansi_thread;
};
void PrintTo(const Crossing& c, std::ostream* os) { *os << c.name; }

xpp::ExportFn linked(const char* name) {
  static const std::map<std::string, xpp::ExportFn> exports = {
      {"QVCREATEEVENTKEY", QVCREATEEVENTKEY},
      {"QVREGEVENTSOURCE", QVREGEVENTSOURCE},
      {"QVREPORTEVENT", QVREPORTEVENT},
      {"QVOPENEVENTLOG", QVOPENEVENTLOG},
      {"QVREADEVENTLOG", QVREADEVENTLOG},
      {"QVREADEVENTRECORD", QVREADEVENTRECORD},
      {"QVEVENTGETLASTERROR", QVEVENTGETLASTERROR},
      {"QVFORMATDATETIME", QVFORMATDATETIME}};
  return exports.at(name);
}

std::string narrow(const std::u16string& wide) {
  std::string out;
  for (char16_t unit : wide) out.push_back(unit < 0x100 ? static_cast<char>(unit) : '#');
  return out;
}

// Longer than a piece of the conversion, with the letter at the joins: 600 bytes.
std::string across_pieces(char letter) {
  return std::string(255, 'a') + letter + std::string(255, 'b') + letter + std::string(88, 'c');
}

// The call's result, or how it failed.
std::string outcome(const xpp::Value& result) {
  if (result.type == xpp::Value::Type::kArray) return "array";
  if (result.type == xpp::Value::Type::kLogical && result.logical) return "written";
  return "failed " + std::to_string(GetLastError());
}

// A record as Windows keeps it: "Qu\xE9" is Qué, "Stra\xDFe" Straße in code page 1252.
xpp::Value read_back(xpp::ExportFn (*fn)(const char*), const char* reader,
                     const std::u16string& string = u"Stra\u00DFe") {
  qvsim::RecordView record;
  record.source = "Qu\xE9";
  record.strings = {string};
  record.data = {0xDF};
  qvsim::write_record("Application", record);
  xpp::Value log = run(fn("QVOPENEVENTLOG"), {S(""), S("Application")});
  return run(fn(reader), {log, N(6), N(1)});
}

const Crossing kCrossings[] = {
    {"KeyName",
     [](auto fn) {
       run(fn("QVCREATEEVENTKEY"), {S("Qv\x81"), S("C:\\M\x81ller.dll")});
       const qvsim::RegistryKeyView key = qvsim::registry_key(kApplication);
       const qvsim::RegistryValueView file =
           qvsim::registry_key(kApplication + "\\" + key.subkeys.at(0)).values.at(1);
       return key.subkeys.at(0) + "|" + std::string(file.data.begin(), file.data.end() - 1);
     },
     "Qv\xFC|C:\\M\xFCller.dll", "Qv\x81|C:\\M\x81ller.dll"},
    {"EventText",
     [](auto fn) {
       xpp::Value source = run(fn("QVREGEVENTSOURCE"), {S(""), S("Qv")});
       run(fn("QVREPORTEVENT"), {source, N(4), N(1), S("M\x81ller")});
       run(fn("QVREPORTEVENT"),
           {source, N(4), N(1), xpp::Value::array({S("x"), S("\x81")}), N(0), S("\x81")});
       const qvsim::RecordView second = qvsim::log_records("Application").at(1);
       return narrow(qvsim::log_records("Application").at(0).strings.at(0)) + "|" +
              narrow(second.strings.at(1)) + "|" +
              std::string(second.data.begin(), second.data.end());
     },
     "M\xFCller|\xFC|\x81", "M\x81ller|\x81|\x81"},
    {"RecordStrings", [](auto fn) { return read_back(fn, "QVREADEVENTLOG").items.at(7).text; },
     "Stra\xE1"
     "e",
     "Stra\xDF"
     "e"},
    {"RecordNamesNotData",
     [](auto fn) {
       xpp::Value record = read_back(fn, "QVREADEVENTRECORD");
       return record.items.at(6).text + "|" + record.items.at(9).text;  // source, data
     },
     "Qu\x82|\xDF", "Qu\xE9|\xDF"},
    {"ErrorText",
     [](auto fn) {
       qvsim::set_system_message(5, "Zugriff verweigert: \xE4");
       xpp::Value text = S("");
       SetLastError(5);
       run(fn("QVEVENTGETLASTERROR"), {xpp::by_ref(text)});
       return text.text;
     },
     "Zugriff verweigert: \x84\r\n", "Zugriff verweigert: \xE4\r\n"},
    // The format is the caller's own: a box-drawing character, which ANSI lacks, stays.
    {"DateFormat",
     [](auto fn) {
       return run(fn("QVFORMATDATETIME"), {N(1100043200), S("%Y \xC4")}).text;
     },
     "2004 \xC4", "2004 \xC4"},
    {"LongEventText",
     [](auto fn) {
       xpp::Value source = run(fn("QVREGEVENTSOURCE"), {S(""), S("Qv")});
       run(fn("QVREPORTEVENT"), {source, N(4), N(1), S(across_pieces('\x81'))});
       return narrow(qvsim::log_records("Application").at(0).strings.at(0));
     },
     across_pieces('\xFC'), across_pieces('\x81')},
    {"LongRecordString",
     [](auto fn) {
       std::u16string string;
       for (char c : across_pieces('\xDF')) string.push_back(static_cast<unsigned char>(c));
       return read_back(fn, "QVREADEVENTLOG", string).items.at(7).text;
     },
     across_pieces('\xE1'), across_pieces('\xDF')},
    // A conversion the run-time refuses, at the second piece: nothing reaches Windows or
    // the caller.
    {"EventTextNotConverted",
     [](auto fn) {
       xpp::Value source = run(fn("QVREGEVENTSOURCE"), {S(""), S("Qv")});
       xpp::fail_conversions(1);
       const xpp::Value written =
           run(fn("QVREPORTEVENT"), {source, N(4), N(1), S(across_pieces('\x81'))});
       xpp::fail_conversions(-1);
       return outcome(written) + "|" + std::to_string(qvsim::log_records("Application").size());
     },
     "failed 1113|0", "written|1"},
    {"KeyNameNotConverted",
     [](auto fn) {
       xpp::fail_conversions(0);
       const xpp::Value created = run(fn("QVCREATEEVENTKEY"), {S("Qv\x81"), S("C:\\q.dll")});
       xpp::fail_conversions(-1);
       return xpp::to_literal(created) + "|" +
              std::to_string(qvsim::registry_key(kApplication).subkeys.size());
     },
     "1113|0", "0|1"},
    {"RecordNotConverted",
     [](auto fn) {
       qvsim::RecordView record;
       record.source = "Qv";
       record.strings = {u"x"};
       qvsim::write_record("Application", record);
       xpp::Value log = run(fn("QVOPENEVENTLOG"), {S(""), S("Application")});
       xpp::fail_conversions(0);
       const xpp::Value records[] = {run(fn("QVREADEVENTLOG"), {log, N(6), N(1)}),
                                     run(fn("QVREADEVENTRECORD"), {log, N(6), N(1)})};
       xpp::fail_conversions(-1);
       return outcome(records[0]) + "|" + outcome(records[1]);
     },
     "failed 1113|failed 1113", "array|array"},
};

class CallerCharset : public SimTest, public ::testing::WithParamInterface<Crossing> {
 protected:
  void TearDown() override {
    xpp::set_thread_charset(false);
    SimTest::TearDown();
  }
};

TEST_P(CallerCharset, CrossesToWindowsAndBack) {
  xpp::set_thread_charset(true);
  EXPECT_EQ(GetParam().cross(linked), GetParam().oem_thread);
  SetUp();
  xpp::set_thread_charset(false);
  EXPECT_EQ(GetParam().cross(linked), GetParam().ansi_thread);
}

// A run-time before 1.9 has no conversions: the module, loaded afresh, hands texts on as
// they come.
TEST_P(CallerCharset, PassesUnchangedWithoutTheRuntimesConversions) {
  qvsim::hide_procedure("XPPRT1.dll", "__conToAnsiCp");
  static void* module = nullptr;
  module = dlopen(QV_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  xpp::set_thread_charset(true);
  EXPECT_EQ(GetParam().cross([](const char* name) {
    return reinterpret_cast<xpp::ExportFn>(dlsym(module, name));
  }),
            GetParam().ansi_thread);
  dlclose(module);
}

INSTANTIATE_TEST_SUITE_P(Texts, CallerCharset, ::testing::ValuesIn(kCrossings),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
