// Every export, every parameter position, every kind of Xbase++ value, by value and by
// reference: no crash, exactly one result, every container released, and the outcome the
// export gives for what that value fetches as.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "reading/evt_event.h"
#include "sim_fixture.h"

namespace {

using xpp::Arg;
using xpp::Value;

// One kind of value, with what the run-time's fetches make of it.
struct Kind {
  std::string name;
  Arg arg;  // by value, or absent
  bool present = true;

  LONG parnl() const {
    if (!present || !arg.value.is_number()) return 0;
    double n = std::trunc(arg.value.number);
    return static_cast<LONG>(static_cast<uint32_t>(static_cast<int64_t>(n)));
  }
  bool character() const { return present && arg.value.is_character(); }
  // A name's length, and whether it is longer than a name buffer holds.
  size_t name_length() const { return character() ? arg.value.text.size() : 0; }
  bool too_long() const { return name_length() > MAX_NAME_BYTES - 1; }
};

std::vector<Kind> kinds() {
  std::vector<Kind> k = {
      {"absent", xpp::absent(), false},
      {"NIL", Value::nil()},
      {"0", Value::num(0)},
      {"-1", Value::num(-1)},
      {"2147483647", Value::num(2147483647.0)},
      {"-2147483648", Value::num(-2147483648.0)},
      {"4294967295", Value::num(4294967295.0)},
      {"1.5", Value::num(1.5)},
      {"empty string", Value::str("")},
      {"1 character", Value::str("x")},
      {"memo", Value::memo("a memo")},
      {"259 characters", Value::str(std::string(259, 'a'))},
      {"260 characters", Value::str(std::string(260, 'b'))},
      {"5000 characters", Value::str(std::string(5000, 'c'))},
      {".T.", Value::boolean(true)},
      {"date", Value::date("20041109")},
      {"array", Value::array({Value::num(1), Value::str("a")})},
  };
  return k;
}

// What a call must give.
struct Expect {
  enum class Is { kCode, kTrue, kFalse, kLogical, kHandle, kZero, kArray, kNumber, kText, kString };
  Is is;
  double code = 0;
  std::string text;
  bool name_too_long = false;  // then the last error is 206
};
Expect code(double c) { return {Expect::Is::kCode, c, {}}; }
Expect is(Expect::Is what) { return {what, 0, {}}; }
Expect text(std::string t) { return {Expect::Is::kText, 0, std::move(t)}; }
// A name too long reaches no Windows call: the failure result, with 206 as the last error.
Expect too_long(Expect failure) {
  failure.name_too_long = true;
  return failure;
}

void check(const Value& got, const Expect& e, const std::string& where) {
  using Is = Expect::Is;
  if (e.name_too_long) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE)) << where;
  }
  switch (e.is) {
    case Is::kCode:
      EXPECT_EQ(got, Value::num(e.code)) << where;
      return;
    case Is::kTrue:
      EXPECT_EQ(got, Value::boolean(true)) << where;
      return;
    case Is::kFalse:
      EXPECT_EQ(got, Value::boolean(false)) << where;
      return;
    case Is::kLogical:
      EXPECT_TRUE(got.is_logical()) << where << ": " << xpp::to_literal(got);
      return;
    case Is::kHandle:
      EXPECT_TRUE(got.is_number() && got.number > 0) << where << ": " << xpp::to_literal(got);
      return;
    case Is::kZero:
      EXPECT_EQ(got, Value::num(0)) << where;
      return;
    case Is::kArray:
      EXPECT_TRUE(got.is_array()) << where << ": " << xpp::to_literal(got);
      return;
    case Is::kNumber:
      EXPECT_TRUE(got.is_number()) << where << ": " << xpp::to_literal(got);
      return;
    case Is::kText:
      EXPECT_EQ(got, Value::str(e.text)) << where;
      return;
    case Is::kString:
      EXPECT_TRUE(got.is_character()) << where << ": " << xpp::to_literal(got);
      return;
  }
}

// An export, the arguments of a call that succeeds, and what each position does with a
// value of each kind.
struct Export {
  const char* name;
  xpp::ExportFn fn;
  size_t parameters;
  std::function<std::vector<Value>()> baseline;
  std::function<Expect(size_t position, const Kind& kind)> expect;
};

Value open_log() { return run(QVOPENEVENTLOG, {S(""), S("Application")}); }
Value source_handle() { return run(QVREGEVENTSOURCE, {S(""), S("MatrixApp")}); }
Value evt_query() { return run(QVEVTQUERY, {S(""), S("Application")}); }

bool no_handle(const Kind& k) { return k.parnl() == 0; }

std::vector<Export> exports() {
  using Is = Expect::Is;
  // The first position of the exports that take a handle: 0 is refused, any other number
  // is not a handle that Windows handed out.
  auto handle_rule = [](const Kind& k, Expect otherwise) {
    return no_handle(k) ? code(ERR_MISSING_FIRST) : otherwise;
  };
  return {
      {"QVREGEVENTSOURCE", QVREGEVENTSOURCE, 2,
       [] {
         return std::vector<Value>{S(""), S("MatrixApp")};
       },
       [](size_t p, const Kind& k) {
         if (k.too_long()) return too_long(is(Is::kZero));
         if (p == 1) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         return k.name_length() > 0 ? is(Is::kHandle) : code(ERR_MISSING_SECOND);
       }},
      {"QVREPORTEVENT", QVREPORTEVENT, 6,
       [] {
         return std::vector<Value>{
             source_handle(), N(4), N(1), Value::array({S("a"), S("b")}), N(3), S("")};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, is(Is::kFalse));
         // Strings: a character value (the array kind holds a number); data: a character
         // value or none.
         if (p == 4) return k.character() ? is(Is::kTrue) : code(ERR_MISSING_TEXT);
         if (p == 6 && k.present && !k.character() && !k.arg.value.is_nil())
           return code(ERR_MISSING_TEXT);
         // Windows refuses an event type it does not know (0xFFFF here) with 23.
         if (p == 2 && (k.parnl() & 0xFFFF) == 0xFFFF) return is(Is::kFalse);
         return is(Is::kTrue);
       }},
      {"QVDEREGEVENTSOURCE", QVDEREGEVENTSOURCE, 1,
       [] { return std::vector<Value>{source_handle()}; },
       [=](size_t, const Kind& k) { return handle_rule(k, is(Is::kFalse)); }},
      {"QVOPENEVENTLOG", QVOPENEVENTLOG, 2,
       [] {
         return std::vector<Value>{S(""), S("Application")};
       },
       [](size_t p, const Kind& k) {
         if (k.too_long()) return too_long(is(Is::kZero));
         if (p == 1) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         // A log the service does not have opens Application.
         return k.name_length() > 0 ? is(Is::kHandle) : code(ERR_MISSING_SECOND);
       }},
      {"QVOPENBACKUPEVENTLOG", QVOPENBACKUPEVENTLOG, 2,
       [] {
         return std::vector<Value>{S(""), S("matrix.evt")};
       },
       [](size_t p, const Kind& k) {
         if (k.too_long()) return too_long(is(Is::kZero));
         if (p == 1) return is(Is::kZero);
         return k.name_length() > 0 ? is(Is::kZero) : code(ERR_MISSING_SECOND);
       }},
      {"QVCLOSEEVENTLOG", QVCLOSEEVENTLOG, 1, [] { return std::vector<Value>{open_log()}; },
       [=](size_t, const Kind& k) { return handle_rule(k, is(Is::kFalse)); }},
      {"QVCLEAREVENTLOG", QVCLEAREVENTLOG, 2,
       [] {
         return std::vector<Value>{open_log(), S("")};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, is(Is::kFalse));
         if (k.too_long()) return too_long(is(Is::kFalse));
         return k.name_length() > 0 ? is(Is::kLogical) : is(Is::kTrue);
       }},
      {"QVQUERYLOGENTRYNUM", QVQUERYLOGENTRYNUM, 2,
       [] {
         return std::vector<Value>{open_log(), N(0)};
       },
       [=](size_t p, const Kind& k) {
         return p == 1 ? handle_rule(k, is(Is::kFalse)) : is(Is::kTrue);
       }},
      {"QVQUERYOLDESTLOGENTRY", QVQUERYOLDESTLOGENTRY, 2,
       [] {
         return std::vector<Value>{open_log(), N(0)};
       },
       [=](size_t p, const Kind& k) {
         return p == 1 ? handle_rule(k, is(Is::kFalse)) : is(Is::kTrue);
       }},
      {"QVEVENTGETLASTERROR", QVEVENTGETLASTERROR, 1, [] { return std::vector<Value>{S("")}; },
       [](size_t, const Kind&) { return is(Is::kNumber); }},
      {"QVREADEVENTLOG", QVREADEVENTLOG, 3,
       [] {
         return std::vector<Value>{open_log(), N(6), N(1)};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, code(ERR_READ_FAILED));
         // Flags: 0 reads with seek and forwards; every other value here is a combination
         // that Windows refuses. Record numbers: the log holds record 1 only.
         if (p == 2) return k.parnl() == 0 ? is(Is::kArray) : code(ERR_READ_FAILED);
         return k.parnl() == 1 ? is(Is::kArray) : code(ERR_READ_FAILED);
       }},
      {"QVREADEVENTRECORD", QVREADEVENTRECORD, 3,
       [] {
         return std::vector<Value>{open_log(), N(6), N(1)};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, code(ERR_READ_FAILED));
         if (p == 2) return k.parnl() == 0 ? is(Is::kArray) : code(ERR_READ_FAILED);
         return k.parnl() == 1 ? is(Is::kArray) : code(ERR_READ_FAILED);
       }},
      {"QVWAITEVENTLOG", QVWAITEVENTLOG, 3,
       [] {
         return std::vector<Value>{open_log(), N(0), N(0)};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, code(ERR_READ_FAILED));
         // The newest record, 1: at once after 0, or after no wait when given 1.
         return code(1);
       }},
      {"QVEVTQUERY", QVEVTQUERY, 4,
       [] {
         return std::vector<Value>{S(""), S("Application"), S("*"), N(0)};
       },
       [](size_t p, const Kind& k) {
         // Another server cannot be reached, another channel is none the service has, a
         // query other than "*" here is none Windows accepts, and Application is no file.
         if (p <= 2 && k.too_long()) return too_long(is(Is::kZero));
         if (p == 1) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         if (p == 2) return k.name_length() > 0 ? is(Is::kZero) : code(ERR_MISSING_SECOND);
         if (p == 3 && k.present && !k.arg.value.is_nil() && !k.character())
           return code(ERR_MISSING_TEXT);
         if (p == 3) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         return (k.parnl() & QVEVT_FILE) != 0 ? is(Is::kZero) : is(Is::kHandle);
       }},
      {"QVEVTNEXT", QVEVTNEXT, 1, [] { return std::vector<Value>{evt_query()}; },
       [=](size_t, const Kind& k) { return handle_rule(k, code(ERR_READ_FAILED)); }},
      {"QVEVTCLOSE", QVEVTCLOSE, 1, [] { return std::vector<Value>{evt_query()}; },
       [=](size_t, const Kind& k) { return handle_rule(k, is(Is::kFalse)); }},
      {"QVEVTSUBSCRIBE", QVEVTSUBSCRIBE, 5,
       [] {
         return std::vector<Value>{S(""), S("Application"), S("*"), S(""), N(0)};
       },
       [](size_t p, const Kind& k) {
         // As QVEVTQUERY; a bookmark is text, and no text here is one; a log file or the
         // reverse order cannot be followed.
         const bool other_text = k.present && !k.arg.value.is_nil() && !k.character();
         if (p == 4 && other_text) return code(ERR_MISSING_TEXT);
         if (p == 4) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         if (p <= 2 && k.too_long()) return too_long(is(Is::kZero));
         if (p == 1) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         if (p == 2) return k.name_length() > 0 ? is(Is::kZero) : code(ERR_MISSING_SECOND);
         if (p == 3 && other_text) return code(ERR_MISSING_TEXT);
         if (p == 3) return k.name_length() > 0 ? is(Is::kZero) : is(Is::kHandle);
         return (k.parnl() & (QVEVT_FILE | QVEVT_REVERSE)) != 0 ? is(Is::kZero) : is(Is::kHandle);
       }},
      {"QVEVTBOOKMARK", QVEVTBOOKMARK, 1, [] { return std::vector<Value>{evt_query()}; },
       [=](size_t, const Kind& k) { return handle_rule(k, code(ERR_READ_FAILED)); }},
      {"QVEVTCHANNELS", QVEVTCHANNELS, 1, [] { return std::vector<Value>{}; },
       [](size_t, const Kind& k) {
         // Another server cannot be reached: the list is empty.
         return k.too_long() ? too_long(is(Is::kArray)) : is(Is::kArray);
       }},
      {"QVBACKUPEVENTLOG", QVBACKUPEVENTLOG, 2,
       [] {
         return std::vector<Value>{open_log(), S("matrix-out.evt")};
       },
       [=](size_t p, const Kind& k) {
         if (p == 1) return handle_rule(k, is(Is::kFalse));
         if (k.too_long()) return too_long(is(Is::kFalse));
         return k.name_length() > 0 ? is(Is::kLogical) : code(ERR_MISSING_SECOND);
       }},
      {"QVCREATEEVENTKEY", QVCREATEEVENTKEY, 7,
       [] {
         return std::vector<Value>{S("MatrixApp"), S("C:\\quorvel.dll"),     Value::boolean(false),
                                   S("MatrixLog"), S("%SystemRoot%\\c.dll"), N(3),
                                   S("C:\\p.dll")};
       },
       [](size_t p, const Kind& k) {
         // A category file goes with a count of 1 to 65535; the parameter file may be left out.
         if (p == 6) {
           const bool count =
               k.present && k.arg.value.is_number() && k.parnl() >= 1 && k.parnl() <= 65535;
           return code(count ? 0 : ERR_MISSING_TEXT);
         }
         if (p >= 5 && k.too_long()) return too_long(code(ERROR_FILENAME_EXCED_RANGE));
         if (p == 5) return code(k.name_length() > 0 ? 0 : ERR_MISSING_TEXT);
         if (p == 7) return code(0);
         // The third only chooses how long the key lasts; no name in the fourth is
         // Application, a long one no log's.
         if (p == 3) return code(0);
         if (p == 4) return code(k.name_length() > 255 ? ERROR_INVALID_NAME : 0);
         if (k.too_long()) return too_long(code(ERROR_FILENAME_EXCED_RANGE));
         if (p == 1) {
           if (k.name_length() == 0) return code(ERR_MISSING_FIRST);
           // The registry refuses a key name of more than 255 characters.
           return code(k.name_length() > 255 ? ERROR_INVALID_PARAMETER : 0);
         }
         return k.name_length() > 0 ? code(0) : code(ERR_MISSING_SECOND);
       }},
      {"QVDELEVENTKEY", QVDELEVENTKEY, 2, [] { return std::vector<Value>{S("MatrixApp")}; },
       [](size_t p, const Kind& k) {
         if (p == 2) return code(ERR_KEY_FAILED);
         if (k.too_long()) return too_long(code(ERR_KEY_FAILED));
         return k.name_length() > 0 ? code(ERR_KEY_FAILED) : code(ERR_MISSING_FIRST);
       }},
      {"QVCHECKEVENTKEY", QVCHECKEVENTKEY, 2, [] { return std::vector<Value>{S("MatrixApp")}; },
       [](size_t p, const Kind& k) {
         if (p == 2) return code(ERR_KEY_FAILED);
         if (k.too_long()) return too_long(code(ERR_KEY_FAILED));
         return k.name_length() > 0 ? code(ERR_KEY_FAILED) : code(ERR_MISSING_FIRST);
       }},
      {"QVFORMATEVENTMESSAGE", QVFORMATEVENTMESSAGE, 5,
       [] {
         return std::vector<Value>{S("Application"), S("MatrixApp"), N(1), Value::array({S("x")}),
                                   Value::boolean(true)};
       },
       [](size_t p, const Kind& k) {
         // No key names a message file: every call that is not refused gives "".
         if (p <= 2 && k.too_long()) return too_long(text(""));
         if (p == 1) return k.name_length() > 0 ? text("") : code(ERR_MISSING_FIRST);
         if (p == 2) return k.name_length() > 0 ? text("") : code(ERR_MISSING_SECOND);
         if (p == 4 && k.present && !k.arg.value.is_nil() && !k.arg.value.is_array())
           return code(ERR_MISSING_TEXT);
         return text("");
       }},
      {"QVFORMATDATETIME", QVFORMATDATETIME, 2,
       [] {
         return std::vector<Value>{N(1100043200), S("%%")};
       },
       [](size_t p, const Kind& k) {
         if (p == 1) return k.parnl() == 0 ? text("") : text("%");
         // A format without conversions is its own text, cut to 125 characters.
         if (k.name_length() > 0) return text(k.arg.value.text.substr(0, 125));
         return is(Expect::Is::kString);  // the default format: checked below
       }},
  };
}

class TypeMatrixTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("qv-matrix-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
    SimTest::TearDown();
  }

  // The state each call starts from: a log holding one event, no key, no files.
  void fresh_state() {
    qvsim::reset();
    qvsim::set_clock(1100043200);
    qvsim::set_user_name("xbuser");
    qvsim::set_computer_name("QVHOST");
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      std::filesystem::remove_all(entry.path());
    Value h = source_handle();
    run(QVREPORTEVENT, {h, N(4), N(1), S("the one event")});
    run(QVDEREGEVENTSOURCE, {h});
  }

  std::filesystem::path dir_;
  std::filesystem::path old_dir_;
};

TEST_F(TypeMatrixTest, EveryExportEveryPositionEveryKind) {
  for (const Export& e : exports()) {
    // One position past the last: an extra parameter changes nothing.
    for (size_t p = 1; p <= e.parameters + 1; ++p) {
      for (const Kind& k : kinds()) {
        for (bool reference : {false, true}) {
          if (reference && !k.present) continue;
          // An extra parameter changes nothing: the result is the baseline call's.
          Value baseline_result;
          if (p > e.parameters) {
            fresh_state();
            std::vector<Value> values = e.baseline();
            baseline_result = run(e.fn, std::vector<Arg>(values.begin(), values.end()));
          }
          fresh_state();
          std::vector<Value> values = e.baseline();
          Value variable = k.arg.value;
          std::vector<Arg> args(values.begin(), values.end());
          if (p > args.size()) args.resize(p);
          args[p - 1] = !k.present ? xpp::absent() : reference ? xpp::by_ref(variable) : k.arg;

          std::string where = std::string(e.name) + " parameter " + std::to_string(p) + " " +
                              k.name + (reference ? " by reference" : "");
          xpp::CallResult r = xpp::call(e.fn, args);
          EXPECT_EQ(r.results_set, 1) << where;
          for (const std::string& v : r.violations) ADD_FAILURE() << where << ": audit: " << v;
          EXPECT_EQ(xpp::live_containers(), 0) << where;

          if (p > e.parameters) {
            bool opener = e.fn == QVREGEVENTSOURCE || e.fn == QVOPENEVENTLOG ||
                          e.fn == QVEVTQUERY || e.fn == QVEVTSUBSCRIBE;
            EXPECT_EQ(r.value.type, baseline_result.type) << where;
            if (!opener) {
              EXPECT_EQ(r.value, baseline_result) << where;
            }
            continue;
          }
          check(r.value, e.expect(p, k), where);
          if (e.fn == QVFORMATDATETIME && p == 2 && k.name_length() == 0) {
            EXPECT_EQ(r.value.text.size(), 8u) << where << ": the default format";
          }

          // Only a few parameters are ever written to, and only when passed by reference.
          bool stored_number =
              (e.fn == QVQUERYLOGENTRYNUM || e.fn == QVQUERYOLDESTLOGENTRY) && p == 2 && reference;
          bool stored_text = e.fn == QVEVENTGETLASTERROR && reference && k.character();
          if (stored_number) {
            EXPECT_TRUE(variable.is_number()) << where;
          } else if (stored_text) {
            EXPECT_TRUE(variable.is_character()) << where;
          } else if (reference) {
            EXPECT_EQ(variable, k.arg.value) << where << ": the caller's variable changed";
          }
        }
      }
    }
  }
}

}  // namespace
