// A kept frame's results: each call's text exactly, whatever the length of the one before,
// also when the text comes out of the frame's own earlier result.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "xpprt/host.h"

namespace {

const char* g_text = nullptr;  // what the export below returns

void XPP_CDECL returns_text(XppParamList pl) { _retc(pl, g_text); }

void XPP_CDECL returns_a_number(XppParamList pl) { _retnl(pl, 7); }

TEST(KeptFrame, TextResultsOfEveryLength) {
  // Same length, shorter, longer within and beyond the storage, empty, across the eight-
  // byte rounds and with an array result between.
  const std::string texts[] = {"20041109",
                               "20041110",
                               "2004",
                               "",
                               "Tue Nov 09 12:00:00 2004",
                               "Tue Nov 09 12:00:00 2004",
                               "Tue Nov 09 12:00:0",
                               std::string(200, 'x'),
                               std::string(199, 'y') + "z",
                               "1234567",
                               "123456789",
                               "12345678"};
  xpp::Frame frame(1);
  frame.set(1, xpp::Value::num(1));
  for (const std::string& text : texts) {
    g_text = text.c_str();
    const xpp::CallResult& r = frame.invoke(returns_text);
    EXPECT_TRUE(r.violations.empty());
    ASSERT_TRUE(r.value.is_character());
    EXPECT_EQ(r.value.text, text);
    EXPECT_EQ(r.value.text.size(), text.size());
  }
  EXPECT_TRUE(frame.invoke(returns_a_number).value.is_number());
  g_text = "after a number";
  EXPECT_EQ(frame.invoke(returns_text).value.text, "after a number");
}

TEST(KeptFrame, TextOutOfTheEarlierResult) {
  xpp::Frame frame(1);
  frame.set(1, xpp::Value::num(1));
  const std::string first = "The quick brown fox jumps over the lazy dog";
  g_text = first.c_str();
  const xpp::CallResult& r = frame.invoke(returns_text);
  ASSERT_EQ(r.value.text, first);
  // The tail, the whole and the empty end of the text the frame holds at each call.
  for (int step = 0; step < 3; ++step) {
    const size_t from = step == 0 ? 4 : step == 1 ? 0 : r.value.text.size();
    const std::string expected = r.value.text.substr(from);
    g_text = r.value.text.c_str() + from;
    EXPECT_EQ(frame.invoke(returns_text).value.text, expected) << step;
  }
}

TEST(KeptFrame, ValueOutsideTheParametersThrows) {
  xpp::Frame frame(2);
  EXPECT_THROW(frame.value(0), std::out_of_range);
  EXPECT_THROW(frame.value(3), std::out_of_range);
  frame.value(2) = xpp::Value::num(5);
  EXPECT_EQ(frame.value(2).number, 5);
}

}  // namespace
