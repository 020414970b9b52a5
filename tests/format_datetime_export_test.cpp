// QVFORMATDATETIME through the stand-in run-time, in the zone this process had at load.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <string>

#include "host/exports.h"
#include "qvsim/control.h"
#include "xpprt/host.h"

namespace {

using xpp::Value;

class FormatExport : public ::testing::Test {
 protected:
  void SetUp() override { qvsim::reset(); }

  // The text the export returns; every call must be clean and set one result.
  static std::string format(const std::vector<xpp::Arg>& args) {
    xpp::CallResult r = xpp::call(QVFORMATDATETIME, args);
    EXPECT_TRUE(r.violations.empty()) << (r.violations.empty() ? "" : r.violations[0]);
    EXPECT_EQ(r.results_set, 1);
    EXPECT_TRUE(r.value.is_character());
    return r.value.text;
  }
};

TEST_F(FormatExport, NoTimeGivesTheEmptyText) {
  const std::vector<std::vector<xpp::Arg>> calls = {
      {Value::num(0), Value::str("%Y")},
      {xpp::absent(), Value::str("%Y")},
      {Value::str("1100043200"), Value::str("%Y")},
      {Value::nil()},
      {},
  };
  for (const auto& args : calls) EXPECT_EQ(format(args), "");
}

TEST_F(FormatExport, MissingFormatIsYearMonthDay) {
  const Value t = Value::num(1100043200);
  const std::string expected = format({t, Value::str("%Y%m%d")});
  EXPECT_EQ(expected.size(), 8u);
  EXPECT_EQ(format({t}), expected);
  EXPECT_EQ(format({t, xpp::absent()}), expected);
  EXPECT_EQ(format({t, Value::str("")}), expected);
  EXPECT_EQ(format({t, Value::num(5)}), expected);
  EXPECT_EQ(format({t, Value::nil()}), expected);
}

TEST_F(FormatExport, NegativeNumbersAreAfter2038) {
  // Whatever the zone, the last second of the range is in 2106 and -2147483648 in 2038.
  EXPECT_EQ(format({Value::num(-1), Value::str("%Y")}), "2106");
  EXPECT_EQ(format({Value::num(-2147483648.0), Value::str("%Y")}), "2038");
  EXPECT_EQ(format({Value::num(2147483647), Value::str("%Y")}), "2038");
}

TEST_F(FormatExport, FormatIsCutAt125Characters) {
  const Value t = Value::num(1100043200);
  const std::string year = format({t, Value::str("%Y")});
  // 125 characters: all of them used.
  EXPECT_EQ(format({t, Value::str(std::string(121, 'x') + "%Y%%")}),
            std::string(121, 'x') + year + "%");
  // 124 and %Y: the 125th character is a lone % and gives nothing.
  EXPECT_EQ(format({t, Value::str(std::string(124, 'x') + "%Y")}), std::string(124, 'x'));
  // 125 and more: never seen.
  EXPECT_EQ(format({t, Value::str(std::string(125, 'x') + "%Y%Y")}), std::string(125, 'x'));
  EXPECT_EQ(format({t, Value::str(std::string(124, 'x') + "%%abc")}), std::string(124, 'x'));
}

TEST_F(FormatExport, ResultIsCutAt126Characters) {
  const Value t = Value::num(1100043200);
  const std::string c = format({t, Value::str("%c")});
  ASSERT_EQ(c.size(), 24u);
  EXPECT_EQ(format({t, Value::str("%c%c%c%c%c%c")}), c + c + c + c + c + c.substr(0, 6));
  EXPECT_EQ(format({t, Value::str("%c%c%c%c%c123456")}), c + c + c + c + c + "123456");
}

TEST_F(FormatExport, TzSetAfterLoadIsNotSeen) {
  const Value t = Value::num(1100043200);
  const std::string before = format({t, Value::str("%Y-%m-%d %H:%M:%S %Z")});
  const char* old = getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  setenv("TZ", "QVX-7:17QVY,J1/0,J365/0", 1);
  tzset();
  const std::string after = format({t, Value::str("%Y-%m-%d %H:%M:%S %Z")});
  if (old != nullptr)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  EXPECT_EQ(after, before);
}

}  // namespace
