// A fixture that starts every test from the simulation's starting state.
#ifndef QUORVEL_TESTS_SIM_FIXTURE_H
#define QUORVEL_TESTS_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include "qvsim/control.h"
#include "xpprt/host.h"

namespace xpp {
// Values print as Xbase++ literals in test failures.
inline void PrintTo(const Value& value, std::ostream* os) { *os << to_literal(value); }
}  // namespace xpp

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvsim::reset();
    qvsim::set_clock(1100043200);
    qvsim::set_user_name("xbuser");
    qvsim::set_computer_name("QVHOST");
  }
  void TearDown() override { qvsim::reset(); }
};

// Runs an export and fails the test on any audit finding.
inline xpp::Value run(xpp::ExportFn fn, const std::vector<xpp::Arg>& args) {
  xpp::CallResult result = xpp::call(fn, args);
  for (const std::string& v : result.violations) ADD_FAILURE() << "audit: " << v;
  return result.value;
}

inline xpp::Value N(double n) { return xpp::Value::num(n); }
inline xpp::Value S(std::string s) { return xpp::Value::str(std::move(s)); }
inline xpp::Value L(bool b) { return xpp::Value::boolean(b); }
inline xpp::Value NIL() { return xpp::Value::nil(); }

#endif
