// The simulated registry behaves as the Windows registry does for the library's calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/qv_windows.h"
#include "qvsim/control.h"
#include "qvsim/registry_control.h"

namespace {

class SimRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { qvsim::reset(); }
  void TearDown() override {
    for (HKEY key : opened_) RegCloseKey(key);
  }

  LSTATUS create(const std::string& path, DWORD options = 0, DWORD* disposition = nullptr,
                 HKEY root = HKEY_LOCAL_MACHINE, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, options, access, nullptr, &key,
                                     disposition);
    if (status == ERROR_SUCCESS) opened_.push_back(key);
    last_ = key;
    return status;
  }
  LSTATUS open(const std::string& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
    if (status == ERROR_SUCCESS) opened_.push_back(key);
    last_ = key;
    return status;
  }
  static LSTATUS set_sz(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
  }

  std::vector<HKEY> opened_;
  HKEY last_ = nullptr;  // the key of the last successful create or open
};

TEST_F(SimRegistryTest, StartsWithTheEventLogKeysOfTheThreeLogs) {
  qvsim::RegistryKeyView logs =
      qvsim::registry_key("SYSTEM\\CurrentControlSet\\Services\\EventLog");
  ASSERT_TRUE(logs.exists);
  EXPECT_EQ(logs.subkeys, (std::vector<std::string>{"Application", "Security", "System"}));
}

TEST_F(SimRegistryTest, NamesAreComparedWithoutCaseAndKeptAsWritten) {
  DWORD disposition = 0;
  ASSERT_EQ(create("SOFTWARE\\MyCo\\Tool", 0, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_TRUE(qvsim::registry_key("software\\myco").exists);  // intermediate key created
  ASSERT_EQ(create("software\\MYCO\\tool", 0, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(open("Software\\myco\\TOOL"), ERROR_SUCCESS);
  EXPECT_EQ(qvsim::registry_key("SOFTWARE\\MYCO\\TOOL").name, "Tool");
  EXPECT_EQ(qvsim::registry_key("SOFTWARE").subkeys, std::vector<std::string>{"MyCo"});
}

TEST_F(SimRegistryTest, PathsAreCheckedAsWindowsChecksThem) {
  struct Case {
    std::string path;
    LSTATUS create, open;
  };
  const std::vector<Case> cases = {
      {"SOFTWARE\\" + std::string(255, 'k'), ERROR_SUCCESS, ERROR_SUCCESS},
      {"SOFTWARE\\" + std::string(256, 'k'), ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
      {"SOFTWARE\\" + std::string(300, 'k') + "\\x", ERROR_INVALID_PARAMETER,
       ERROR_INVALID_PARAMETER},
      {"\\SOFTWARE\\Lead", ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},
      {"SOFTWARE\\Trail\\", ERROR_SUCCESS, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 20));
    EXPECT_EQ(create(c.path), c.create);
    EXPECT_EQ(open(c.path), c.open);
  }
  EXPECT_EQ(qvsim::registry_key("SOFTWARE").subkeys.size(), 2u);  // 255 k's and Trail
}

TEST_F(SimRegistryTest, DeleteRefusesMissingKeysKeysWithSubkeysAndRoots) {
  ASSERT_EQ(create("SOFTWARE\\A\\B"), ERROR_SUCCESS);
  struct Case {
    HKEY root;
    const char* path;
    LSTATUS expected;
  };
  for (Case c : {Case{HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", ERROR_FILE_NOT_FOUND},
                 Case{HKEY_LOCAL_MACHINE, "SOFTWARE\\A", ERROR_ACCESS_DENIED},
                 Case{HKEY_LOCAL_MACHINE, "", ERROR_ACCESS_DENIED},
                 Case{HKEY_LOCAL_MACHINE, "software\\a\\b", ERROR_SUCCESS},
                 Case{HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", ERROR_FILE_NOT_FOUND},
                 Case{HKEY_LOCAL_MACHINE, "SOFTWARE\\A", ERROR_SUCCESS}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(RegDeleteKeyA(c.root, c.path), c.expected);
  }
  EXPECT_FALSE(qvsim::registry_key("SOFTWARE\\A").exists);
}

TEST_F(SimRegistryTest, InvalidClosedAndDeletedHandles) {
  ASSERT_EQ(create("SOFTWARE\\Gone"), ERROR_SUCCESS);
  HKEY gone = last_;
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"), ERROR_SUCCESS);
  ASSERT_EQ(create("SOFTWARE\\Closed"), ERROR_SUCCESS);
  HKEY closed = last_;
  opened_.pop_back();
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);

  struct Case {
    const char* what;
    HKEY key;
    LSTATUS expected;
  };
  for (Case c : {Case{"never opened", reinterpret_cast<HKEY>(uintptr_t{0x1234}), 6},
                 Case{"null", nullptr, 6}, Case{"closed", closed, 6},
                 Case{"deleted", gone, ERROR_KEY_DELETED}}) {
    SCOPED_TRACE(c.what);
    HKEY sub = nullptr;
    DWORD size = 0;
    EXPECT_EQ(RegCreateKeyExA(c.key, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              c.expected);
    EXPECT_EQ(RegOpenKeyExA(c.key, "", 0, KEY_READ, &sub), c.expected);
    EXPECT_EQ(set_sz(c.key, "v", "text"), c.expected);
    EXPECT_EQ(RegQueryValueExA(c.key, "v", nullptr, nullptr, nullptr, &size), c.expected);
    EXPECT_EQ(RegDeleteKeyA(c.key, "x"), c.expected);
    char name[8];
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(c.key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), c.expected);
  }
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(SimRegistryTest, ValuesKeepTheirTypeAndBytes) {
  ASSERT_EQ(create("SOFTWARE\\Values"), ERROR_SUCCESS);
  HKEY key = last_;
  const BYTE blob[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(set_sz(key, "Text", "hello"), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 4u);

  BYTE buffer[8] = {};
  size = 5;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(buffer[0], 0);  // nothing copied
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "TEXT", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "hello");
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(set_sz(key, "text", "bye"), ERROR_SUCCESS);  // same value, replaced
  qvsim::RegistryKeyView view = qvsim::registry_key("SOFTWARE\\Values");
  ASSERT_EQ(view.values.size(), 2u);
  EXPECT_EQ(view.values[1].name, "Text");
  EXPECT_EQ(view.values[1].data, (std::vector<uint8_t>{'b', 'y', 'e', 0}));
}

TEST_F(SimRegistryTest, HandlesAllowWhatTheyWereOpenedFor) {
  ASSERT_EQ(open("SOFTWARE", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(set_sz(last_, "v", "x"), ERROR_ACCESS_DENIED);
  ASSERT_EQ(open("SOFTWARE", KEY_SET_VALUE), ERROR_SUCCESS);
  EXPECT_EQ(set_sz(last_, "v", "x"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(last_, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  char name[16];
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(last_, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
}

// Subkeys come by name without regard to case; a name that does not fit with its
// terminator gives 234 and changes nothing; the end gives 259.
TEST_F(SimRegistryTest, SubkeysAreEnumeratedAsWindowsEnumeratesThem) {
  qvsim::set_clock(1100043200);
  for (const char* name : {"beta", "GAMMA", "Alpha"}) {
    ASSERT_EQ(create(std::string("SOFTWARE\\List\\") + name), ERROR_SUCCESS);
  }
  ASSERT_EQ(open("SOFTWARE\\List", KEY_ENUMERATE_SUB_KEYS), ERROR_SUCCESS);
  struct Case {
    DWORD index, room;
    LSTATUS expected;
    const char* name;  // afterwards
    DWORD count;       // afterwards
  };
  for (Case c : {Case{0, 6, ERROR_SUCCESS, "Alpha", 5}, Case{1, 5, ERROR_SUCCESS, "beta", 4},
                 Case{2, 5, ERROR_MORE_DATA, "-------", 5}, Case{2, 6, ERROR_SUCCESS, "GAMMA", 5},
                 Case{3, 8, ERROR_NO_MORE_ITEMS, "-------", 8}}) {
    SCOPED_TRACE(c.index);
    char name[8] = "-------";
    char key_class[4] = "---";
    DWORD count = c.room, class_chars = sizeof key_class;
    FILETIME written = {};
    EXPECT_EQ(
        RegEnumKeyExA(last_, c.index, name, &count, nullptr, key_class, &class_chars, &written),
        c.expected);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(count, c.count);
    if (c.expected != ERROR_SUCCESS) continue;
    EXPECT_TRUE(key_class[0] == '\0' && class_chars == 0);  // keys here have no class
    // 1100043200 seconds after 1970, in 100-nanosecond steps from 1601.
    EXPECT_EQ((uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime,
              (1100043200 + 11644473600ull) * 10000000);
  }
}

TEST_F(SimRegistryTest, VolatileKeysGoAtRestartAndHoldOnlyVolatileKeys) {
  DWORD disposition = 0;
  ASSERT_EQ(create("SOFTWARE\\Vol\\Inner", REG_OPTION_VOLATILE), ERROR_SUCCESS);
  EXPECT_TRUE(qvsim::registry_key("SOFTWARE\\Vol").is_volatile);
  EXPECT_EQ(create("SOFTWARE\\Vol\\Stable"), ERROR_CHILD_MUST_BE_VOLATILE);
  EXPECT_EQ(create("SOFTWARE\\Vol\\Inner", 0, &disposition), ERROR_SUCCESS);  // exists
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  ASSERT_EQ(create("SOFTWARE\\Kept"), ERROR_SUCCESS);
  opened_.clear();
  qvsim::restart_registry();
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
  EXPECT_FALSE(qvsim::registry_key("SOFTWARE\\Vol").exists);
  EXPECT_TRUE(qvsim::registry_key("SOFTWARE\\Kept").exists);
}

TEST_F(SimRegistryTest, WithoutAdministratorRightsLocalMachineIsReadOnly) {
  ASSERT_EQ(create("SOFTWARE\\Existing"), ERROR_SUCCESS);
  HKEY writable = last_;
  qvsim::set_admin(false);
  EXPECT_EQ(create("SOFTWARE\\New"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(create("SOFTWARE\\Existing"), ERROR_ACCESS_DENIED);  // asks for all access
  EXPECT_EQ(create("SOFTWARE\\Existing", 0, nullptr, HKEY_LOCAL_MACHINE, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(open("SOFTWARE\\Existing", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(open("SOFTWARE\\Existing", KEY_WRITE), ERROR_ACCESS_DENIED);
  EXPECT_EQ(set_sz(writable, "v", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Existing"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(create("Software\\Mine", 0, nullptr, HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_FALSE(qvsim::registry_key("SOFTWARE\\New").exists);
}

TEST_F(SimRegistryTest, ResultsAreReturnedNotLeftAsLastError) {
  SetLastError(77);
  EXPECT_EQ(open("SOFTWARE\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(uintptr_t{0x1234})), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetLastError(), 77u);
}

TEST_F(SimRegistryTest, ResetRestoresTheStartingRegistry) {
  ASSERT_EQ(create("SOFTWARE\\Temp"), ERROR_SUCCESS);
  ASSERT_EQ(
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System"),
      ERROR_SUCCESS);
  opened_.clear();
  qvsim::reset();
  EXPECT_FALSE(qvsim::registry_key("SOFTWARE\\Temp").exists);
  EXPECT_TRUE(qvsim::registry_key("SYSTEM\\CurrentControlSet\\Services\\EventLog\\System").exists);
  EXPECT_EQ(qvsim::open_registry_keys(), 0);
}

}  // namespace
