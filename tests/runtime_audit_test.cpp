// The stand-in run-time: its operations as the library relies on them, and its audit,
// which must catch an export that breaks the rules.
#include <cstring>

#include "sim_fixture.h"

namespace {

using xpp::Value;

// Exports that break one rule each.
void XPP_CDECL sets_no_result(XppParamList) {}
void XPP_CDECL sets_two_results(XppParamList pl) {
  _retnl(pl, 1);
  _retl(pl, 1);
}
void XPP_CDECL leaks_a_container(XppParamList pl) {
  _conNew(nullptr);
  _retnl(pl, 0);
}
void XPP_CDECL uses_a_released_container(XppParamList pl) {
  ContainerHandle con = _conNew(nullptr);
  _conRelease(con);
  _conPutNL(con, 5);
  _retnl(pl, 0);
}
void XPP_CDECL releases_twice(XppParamList pl) {
  ContainerHandle con = _conNew(nullptr);
  _conRelease(con);
  _conRelease(con);
  _retnl(pl, 0);
}
void XPP_CDECL stores_into_a_value_parameter(XppParamList pl) {
  _stornl(7, pl, 1);
  _retnl(pl, 0);
}
void XPP_CDECL puts_past_the_array(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 2);
  ContainerHandle con = _conPutNL(_conNew(nullptr), 1);
  _conArrayPut(array, con, 3, 0);
  _conReturn(pl, array);
  _conRelease(con);
  _conRelease(array);
}

// A parameter list that is none, or not the run-time's: refused with nothing read.
uint32_t not_a_list_at_all[16] = {};
XppParamList foreign_list() { return reinterpret_cast<XppParamList>(not_a_list_at_all); }
void XPP_CDECL fetches_from_no_list(XppParamList pl) {
  char buffer[8] = "kept";
  const bool refused = _parnl(nullptr, 1) == 0 && _parc(buffer, sizeof buffer, nullptr, 1) == 0 &&
                       std::strcmp(buffer, "kept") == 0;
  _retl(pl, refused);
}
void XPP_CDECL fetches_from_a_foreign_list(XppParamList pl) {
  char buffer[8] = "kept";
  const bool refused = _parnl(foreign_list(), 1) == 0 &&
                       _parc(buffer, sizeof buffer, foreign_list(), 1) == 0 &&
                       std::strcmp(buffer, "kept") == 0;
  _retc(foreign_list(), "lost");
  _retl(pl, refused);
}
void XPP_CDECL copies_into_no_buffer(XppParamList pl) { _retnl(pl, _parc(nullptr, 10, pl, 1)); }
void XPP_CDECL returns_no_string(XppParamList pl) { _retc(pl, nullptr); }
void XPP_CDECL leaks_a_number_put_into_no_container(XppParamList pl) {
  _conPutNL(nullptr, 5);
  _retnl(pl, 0);
}
void XPP_CDECL leaks_a_string_put_into_no_container(XppParamList pl) {
  _conPutC(nullptr, "x");
  _retnl(pl, 0);
}

TEST(RuntimeAudit, CatchesEachBrokenRule) {
  struct Case {
    const char* what;
    xpp::ExportFn fn;
  } cases[] = {
      {"no result", sets_no_result},
      {"two results", sets_two_results},
      {"container not released", leaks_a_container},
      {"use after release", uses_a_released_container},
      {"double release", releases_twice},
      {"store into a by-value parameter", stores_into_a_value_parameter},
      {"array element out of range", puts_past_the_array},
      {"no parameter list", fetches_from_no_list},
      {"a list not of this run-time", fetches_from_a_foreign_list},
      {"_parc without a buffer", copies_into_no_buffer},
      {"_retc without a string", returns_no_string},
      {"container of _conPutNL(NULL) not released", leaks_a_number_put_into_no_container},
      {"container of _conPutC(NULL) not released", leaks_a_string_put_into_no_container},
  };
  for (const Case& c : cases) {
    Value v = Value::num(1);
    EXPECT_FALSE(xpp::call(c.fn, {v}).violations.empty()) << c.what;
  }
  EXPECT_EQ(xpp::live_containers(), 0);
}

// What the refused operations give the export all the same.
TEST(RuntimeAudit, RefusedOperationsGiveNothing) {
  Value text = Value::str("abc");
  EXPECT_EQ(xpp::call(fetches_from_no_list, {text}).value, Value::boolean(true));
  const xpp::CallResult foreign = xpp::call(fetches_from_a_foreign_list, {text});
  EXPECT_EQ(foreign.value, Value::boolean(true));
  EXPECT_EQ(foreign.results_set, 1);  // the result for the foreign list went nowhere
  EXPECT_EQ(xpp::call(copies_into_no_buffer, {text}).value, Value::num(0));
  EXPECT_EQ(xpp::call(returns_no_string, {text}).value, Value::str(""));
}

// A well-behaved export builds an array and returns it.
void XPP_CDECL returns_an_array(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 3);
  ContainerHandle con = _conNew(nullptr);
  if (array == nullptr || con == nullptr) {
    if (array) _conRelease(array);
    if (con) _conRelease(con);
    _retnl(pl, -1);
    return;
  }
  _conArrayPut(array, _conPutNL(con, -5), 1, 0);
  _conArrayPut(array, _conPutC(con, "x"), 2, 0);
  _conReturn(pl, array);
  _conRelease(con);
  _conRelease(array);
}

// The answers of the container operations, as the run-time documents them: 0 for success
// and an error code otherwise; no container given to a put makes a new one.
void XPP_CDECL puts_into_an_element(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 1);
  ContainerHandle con = _conPutNL(nullptr, 7);
  _retnl(pl, _conArrayPut(array, con, 1, 0));
  _conRelease(con);
  _conRelease(array);
}
void XPP_CDECL puts_past_the_end(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 1);
  ContainerHandle con = _conPutC(nullptr, "x");
  _retnl(pl, _conArrayPut(array, con, 2, 0));
  _conRelease(con);
  _conRelease(array);
}
void XPP_CDECL releases_once(XppParamList pl) { _retnl(pl, _conRelease(_conNew(nullptr))); }
void XPP_CDECL releases_again(XppParamList pl) {
  ContainerHandle con = _conNew(nullptr);
  _conRelease(con);
  _retnl(pl, _conRelease(con));
}
void XPP_CDECL returns_new_containers(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 2);
  ContainerHandle number = _conPutNL(nullptr, -5);
  ContainerHandle text = _conPutC(nullptr, "x");
  _conArrayPut(array, number, 1, 0);
  _conArrayPut(array, text, 2, 0);
  _conReturn(pl, array);
  _conRelease(text);
  _conRelease(number);
  _conRelease(array);
}

TEST(RuntimeAudit, ContainerOperationsAnswerZeroForSuccess) {
  struct Case {
    const char* what;
    xpp::ExportFn fn;
    Value answer;
    bool violation;
  } cases[] = {
      {"_conArrayPut into an element", puts_into_an_element, Value::num(0), false},
      {"_conArrayPut past the end", puts_past_the_end, Value::num(xpp::kConErrorIndex), true},
      {"_conRelease", releases_once, Value::num(0), false},
      {"_conRelease again", releases_again, Value::num(xpp::kConErrorHandle), true},
      {"_conPutNL/_conPutC without a container", returns_new_containers,
       Value::array({Value::num(-5), Value::str("x")}), false},
  };
  for (const Case& c : cases) {
    xpp::CallResult r = xpp::call(c.fn, {});
    EXPECT_EQ(r.value, c.answer) << c.what;
    EXPECT_EQ(r.violations.empty(), !c.violation) << c.what;
  }
  EXPECT_EQ(xpp::live_containers(), 0);
}

TEST(RuntimeAudit, ReturnedArraySurvivesItsRelease) {
  xpp::CallResult r = xpp::call(returns_an_array, {});
  EXPECT_TRUE(r.violations.empty());
  EXPECT_EQ(r.value, Value::array({Value::num(-5), Value::str("x"), Value::nil()}));
}

TEST(RuntimeAudit, ContainerCreationCanBeMadeToFail) {
  xpp::fail_con_new(1);
  EXPECT_EQ(xpp::call(returns_an_array, {}).value, Value::num(-1));
  xpp::fail_con_new_array(1);
  EXPECT_EQ(xpp::call(returns_an_array, {}).value, Value::num(-1));
  EXPECT_TRUE(xpp::call(returns_an_array, {}).value.is_array());
  EXPECT_EQ(xpp::live_containers(), 0);
}

LONG parnl_result;
void XPP_CDECL fetch_number(XppParamList pl) {
  parnl_result = _parnl(pl, 1);
  _retnl(pl, 0);
}

TEST(RuntimeParnl, TruncatesAndWrapsModulo2To32) {
  struct Case {
    Value in;
    LONG out;
  } cases[] = {
      {Value::num(1.5), 1},
      {Value::num(-1.5), -1},
      {Value::num(4294967295.0), -1},
      {Value::num(4294967296.0), 0},
      {Value::num(2147483648.0), -2147483647 - 1},
      {Value::num(-2147483649.0), 2147483647},
      {Value::num(70000), 70000},
      {Value::str("12"), 0},
      {Value::boolean(true), 0},
      {Value::nil(), 0},
  };
  for (const Case& c : cases) {
    parnl_result = 12345;
    xpp::call(fetch_number, {c.in});
    EXPECT_EQ(parnl_result, c.out) << xpp::to_literal(c.in);
  }
}

ULONG partype_result[4];
void XPP_CDECL fetch_types(XppParamList pl) {
  for (ULONG i = 0; i < 4; ++i) partype_result[i] = _partype(pl, i);
  _retnl(pl, 0);
}

// The type words of the generation this run acts as (QVXPP_VERSION), by value and by
// reference, with the parameter count and a parameter past it.
TEST(RuntimePartype, HandsOutTheWordsOfItsGeneration) {
  const xpp::TypeWords& words = xpp::type_words();
  EXPECT_EQ(words.reference, words.before_19 ? 0x100u : 0x10000000u);
  struct Case {
    Value in;
    ULONG word;
  } cases[] = {
      {Value::str("a"), XPP_CHARACTER}, {Value::memo("m"), words.before_19 ? 0x200u : 0x40000002u},
      {Value::num(1), XPP_NUMERIC},     {Value::num(1.5), words.before_19 ? 0x404u : 0x01000004u},
      {Value::nil(), XPP_UNDEF},        {Value::boolean(true), 0x8},
      {Value::date("20041109"), 0x10},  {Value::array({}), 0x20},
  };
  for (const Case& c : cases) {
    Value var = c.in;
    xpp::call(fetch_types, {c.in, xpp::absent(), xpp::by_ref(var)});
    EXPECT_EQ(partype_result[0], 3u);
    EXPECT_EQ(partype_result[1], c.word) << xpp::to_literal(c.in);
    EXPECT_EQ(partype_result[2], XPP_UNDEF);
    EXPECT_EQ(partype_result[3], c.word | words.reference) << xpp::to_literal(c.in);
    xpp::call(fetch_types, {c.in});
    EXPECT_EQ(partype_result[2], words.past_count);
  }
}

char parc_buffer[16];
ULONG parc_count;
void XPP_CDECL fetch_text_into_8(XppParamList pl) {
  std::memset(parc_buffer, '#', sizeof parc_buffer);
  parc_count = _parc(parc_buffer, 8, pl, 1);
  _retnl(pl, 0);
}

TEST(RuntimeParc, CutsToTheSizeAndNeverWritesBeyondIt) {
  struct Case {
    Value in;
    ULONG count;
    const char* text;
  } cases[] = {
      {Value::str("abc"), 3, "abc"},
      {Value::str("1234567"), 7, "1234567"},
      {Value::str("123456789"), 7, "1234567"},
      {Value::str(""), 0, nullptr},
      {Value::num(5), 0, nullptr},
  };
  for (const Case& c : cases) {
    xpp::call(fetch_text_into_8, {c.in});
    EXPECT_EQ(parc_count, c.count);
    if (c.text != nullptr) {
      EXPECT_STREQ(parc_buffer, c.text);
    }
    for (size_t i = 8; i < sizeof parc_buffer; ++i) EXPECT_EQ(parc_buffer[i], '#');
  }
}

void XPP_CDECL store_both(XppParamList pl) {
  _stornl(-7, pl, 1);
  _storc("text", pl, 2);
  _retnl(pl, 0);
}

TEST(RuntimeStore, ReachesTheCallersVariables) {
  Value a = Value::str("old");
  Value b = Value::nil();
  EXPECT_TRUE(xpp::call(store_both, {xpp::by_ref(a), xpp::by_ref(b)}).violations.empty());
  EXPECT_EQ(a, Value::num(-7));
  EXPECT_EQ(b, Value::str("text"));
}

}  // namespace
