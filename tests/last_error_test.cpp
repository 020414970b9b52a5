// QVEVENTGETLASTERROR: the thread's last error and its system text.
#include <thread>

#include "host/exports.h"
#include "platform/qv_windows.h"
#include "sim_fixture.h"

namespace {

using xpp::Value;

class LastErrorTest : public SimTest {};

TEST_F(LastErrorTest, StoresTheTextOnlyIntoACharacterReference) {
  struct Case {
    DWORD code;
    const char* text;
  } cases[] = {
      {0, "The operation completed successfully.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {38, "Reached the end of the file.\r\n"},
      {1332, "No mapping between account names and security IDs was done.\r\n"},
      {99999, ""},  // no system text
  };
  for (const Case& c : cases) {
    Value text = S("before");
    SetLastError(c.code);
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {xpp::by_ref(text)}), N(c.code));
    EXPECT_EQ(text, S(c.text));

    Value by_value = S("before");
    SetLastError(c.code);
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {by_value}), N(c.code));
    Value number = N(7);
    SetLastError(c.code);
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {xpp::by_ref(number)}), N(c.code));
    EXPECT_EQ(number, N(7));
    Value nil = NIL();
    SetLastError(c.code);
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {xpp::by_ref(nil)}), N(c.code));
    EXPECT_EQ(nil, NIL());
  }
}

TEST_F(LastErrorTest, TextThatDoesNotFitIsCutTo255Characters) {
  qvsim::set_system_message(5, std::string(300, 'a'));
  Value text = S("");
  SetLastError(5);
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {xpp::by_ref(text)}), N(5));
  EXPECT_EQ(text, S(std::string(255, 'a')));
}

TEST_F(LastErrorTest, EachThreadSeesItsOwnCode) {
  DWORD seen[2] = {0, 0};
  auto worker = [&](int i) {
    SetLastError(100 + i);
    std::this_thread::yield();
    seen[i] = static_cast<DWORD>(run(QVEVENTGETLASTERROR, {}).number);
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  EXPECT_EQ(seen[0], 100u);
  EXPECT_EQ(seen[1], 101u);
}

}  // namespace
