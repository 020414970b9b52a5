// What quorvel.dll shows a Windows system, run under Wine in the win32 build:
// - its message table, read back as a resource (type 11, name 1, language 1033), is byte for
//   byte the generated table (the file named by the first argument), and it is the module's
//   only resource: no version resource;
// - FormatMessageA renders identifiers 1 to 1000 from the module as the first insertion
//   string and a line break, and finds no message for 0 and 1001 on: what the Event Viewer
//   does with the library as an event source's message file;
// - the event-source key exports, called through XPPRT1.dll as an Xbase++ program calls
//   them, against the system's own registry: the key's values as stored, one key after a
//   second creation, the deletions, the longest message-file path, and the registry's own
//   limits deciding about long source names (where Wine's differ from Windows', the tables
//   below record what Wine does, and why);
// - loaded, it has registered with XPPRT1.dll every export of its module definition by name
//   and address, unloaded none, and so again at a second load: what DllLoad() finds.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include "plain_checks.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host/status.h"
#include "xpprt/host.h"
#include "xpprt/registered.h"

namespace {

std::string num(unsigned long n) { return std::to_string(n); }

// ---------------------------------------------------------------------------------------
// The message table as a resource.

const WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::vector<BYTE> read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The module as the loader maps it, and as a data file (as the Event Viewer loads message
// files).
struct Modules {
  HMODULE loaded = nullptr;
  HMODULE data_file = nullptr;
};

// A resource type or name as a resource script writes it: #11 for a number, else the name.
std::string resource_id(LPCSTR id) {
  if (!IS_INTRESOURCE(id)) return id;
  char text[16];
  std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(id)));
  return text;
}

BOOL CALLBACK collect_type(HMODULE, LPSTR type, LONG_PTR out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(resource_id(type));
  return TRUE;
}

BOOL CALLBACK collect_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(resource_id(name));
  return TRUE;
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR out) {
  reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
  return TRUE;
}

void check_resource(HMODULE module, const std::string& how, const std::vector<BYTE>& table) {
  HRSRC found = FindResourceExA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(1), kEnglishUS);
  check(found != nullptr, how + ": FindResourceExA(11, 1, 1033), error " + num(GetLastError()));
  if (found == nullptr) return;
  DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  auto data = static_cast<const BYTE*>(LockResource(loaded));
  check(data != nullptr, how + ": LockResource");
  if (data == nullptr) return;
  check(size == table.size(), how + ": the resource has " + num(size) +
                                  " bytes, the generated table " + num(table.size()));
  if (size != table.size()) return;
  size_t first_difference = 0;
  while (first_difference < size && data[first_difference] == table[first_difference])
    ++first_difference;
  check(first_difference == size,
        how + ": the resource differs from the generated table at byte " + num(first_difference));

  // Nothing else: one type (no version resource), one name, one language.
  std::vector<std::string> types;
  EnumResourceTypesA(module, collect_type, reinterpret_cast<LONG_PTR>(&types));
  check(types == std::vector<std::string>{"#11"},
        how + ": resource types other than the message table (#11): " +
            (types.empty() ? std::string("none") : types.front()) + " and " +
            num(types.size() > 0 ? types.size() - 1 : 0) + " more");
  std::vector<std::string> names;
  EnumResourceNamesA(module, RT_MESSAGETABLE, collect_name, reinterpret_cast<LONG_PTR>(&names));
  check(names == std::vector<std::string>{"#1"}, how + ": message tables other than #1");
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(1), collect_language,
                         reinterpret_cast<LONG_PTR>(&languages));
  check(languages == std::vector<WORD>{kEnglishUS},
        how + ": the message table in a language other than 1033");
  check(FindResourceA(module, MAKEINTRESOURCEA(1), RT_VERSION) == nullptr,
        how + ": a version resource");
}

// ---------------------------------------------------------------------------------------
// The module as message file.

// Wine 8.0 renders as Windows does, also from the module loaded as a data file.
struct Rendering {
  DWORD id;
  bool found;  // else: no text, error 317
};
constexpr Rendering kRenderings[] = {
    {1, true},  {2, true},     {500, true},   {999, true},    {1000, true},
    {0, false}, {1001, false}, {1002, false}, {65535, false},
};

void check_rendering(HMODULE module, const std::string& how, WORD language) {
  char hello[] = "hello";
  DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(hello)};
  for (const Rendering& r : kRenderings) {
    std::string what = how + ", language " + num(language) + ": identifier " + num(r.id);
    char buffer[64];
    std::memset(buffer, 0x55, sizeof buffer);
    SetLastError(0);
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, r.id,
                       language, buffer, sizeof buffer, reinterpret_cast<va_list*>(arguments));
    DWORD error = GetLastError();
    if (r.found) {
      std::string text(buffer, n);
      check(n != 0, what + " has no text, error " + num(error));
      if (n != 0) check(text == "hello\r\n", what + " renders " + quoted(text));
      continue;
    }
    check(n == 0 && error == ERROR_MR_MID_NOT_FOUND,
          what + ": " + num(n) + " characters, error " + num(error) + ", expected 0 and 317");
  }
}

// ---------------------------------------------------------------------------------------
// The event-source key, through the run-time, against the registry.

const char kApplicationKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const char kSource[] = "QuorvelDllChecksSource";

struct Exports {
  xpp::ExportFn create = nullptr;
  xpp::ExportFn del = nullptr;
  xpp::ExportFn exists = nullptr;
};

// A numeric result of a clean call; the audit's findings are failures.
long call(xpp::ExportFn fn, const std::vector<xpp::Arg>& args, const std::string& what) {
  xpp::CallResult r = xpp::call(fn, args);
  for (const std::string& v : r.violations) check(false, what + ": " + v);
  check(r.value.is_number(), what + " gives " + xpp::to_literal(r.value) + ", not a number");
  return static_cast<long>(r.value.number);
}

long create_key(const Exports& e, const std::string& source, const std::string& file) {
  return call(e.create, {xpp::Value::str(source), xpp::Value::str(file)},
              "QVCREATEEVENTKEY(" + source.substr(0, 40) + ")");
}
long delete_key(const Exports& e, const std::string& source) {
  return call(e.del, {xpp::Value::str(source)}, "QVDELEVENTKEY(" + source.substr(0, 40) + ")");
}
long check_key(const Exports& e, const std::string& source) {
  return call(e.exists, {xpp::Value::str(source)}, "QVCHECKEVENTKEY(" + source.substr(0, 40) + ")");
}

std::string key_path(const std::string& source) {
  return std::string(kApplicationKey) + "\\" + source;
}

struct StoredValue {
  LSTATUS status = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

StoredValue query_value(const std::string& source, const char* name) {
  StoredValue v;
  HKEY key = nullptr;
  v.status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path(source).c_str(), 0, KEY_READ, &key);
  if (v.status != ERROR_SUCCESS) return v;
  DWORD size = 0;
  v.status = RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size);
  if (v.status == ERROR_SUCCESS) {
    v.bytes.resize(size);
    v.status = RegQueryValueExA(key, name, nullptr, &v.type, v.bytes.data(), &size);
    v.bytes.resize(size);
  }
  RegCloseKey(key);
  return v;
}

// The message-file path as stored: REG_SZ, the characters and the terminator.
void check_message_file(const std::string& source, const std::string& path,
                        const std::string& what) {
  StoredValue v = query_value(source, "EventMessageFile");
  check(v.status == ERROR_SUCCESS, what + ": EventMessageFile not read, " + num(v.status));
  if (v.status != ERROR_SUCCESS) return;
  check(v.type == REG_SZ, what + ": EventMessageFile of type " + num(v.type));
  check(v.bytes.size() == path.size() + 1, what + ": EventMessageFile holds " +
                                               num(v.bytes.size()) + " bytes, expected " +
                                               num(path.size() + 1));
  std::string expected = path + '\0';
  check(std::string(v.bytes.begin(), v.bytes.end()) == expected,
        what + ": EventMessageFile is not the path with its terminator");
}

// The names of the Application log's subkeys equal to `source` apart from case.
std::vector<std::string> keys_named(const std::string& source) {
  std::vector<std::string> found;
  HKEY application = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_READ, &application) !=
      ERROR_SUCCESS)
    return found;
  for (DWORD i = 0;; ++i) {
    char name[258];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(application, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (lstrcmpiA(name, source.c_str()) == 0) found.emplace_back(name, size);
  }
  RegCloseKey(application);
  return found;
}

void check_key_lifecycle(const Exports& e) {
  const std::string first = "C:\\Program Files\\First\\quorvel.dll";
  const std::string second = "C:\\Program Files\\Second\\quorvel.dll";

  check(create_key(e, kSource, first) == 0, "create");
  check(check_key(e, kSource) == 0, "check after create");
  check_message_file(kSource, first, "after create");
  StoredValue types = query_value(kSource, "TypesSupported");
  DWORD seven = 7;
  check(types.status == ERROR_SUCCESS && types.type == REG_DWORD &&
            types.bytes == std::vector<BYTE>(reinterpret_cast<BYTE*>(&seven),
                                             reinterpret_cast<BYTE*>(&seven) + 4),
        "TypesSupported is not REG_DWORD 7 (status " + num(types.status) + ", type " +
            num(types.type) + ", " + num(types.bytes.size()) + " bytes)");

  // The key is volatile: the registry refuses a lasting subkey under it.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path(kSource).c_str(), 0, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    HKEY child = nullptr;
    char no_class[] = "";
    LSTATUS status = RegCreateKeyExA(key, "Lasting", 0, no_class, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &child, nullptr);
    check(status == ERROR_CHILD_MUST_BE_VOLATILE,
          "a lasting subkey of the key: " + num(status) + ", expected 1021 (the key is volatile)");
    if (status == ERROR_SUCCESS) {
      RegCloseKey(child);
      RegDeleteKeyA(key, "Lasting");
    }
    RegCloseKey(key);
  } else {
    check(false, "the created key cannot be opened for all access");
  }

  // Created again, under the name in other case: one key, named as first written, holding
  // the second path.
  std::string upper = kSource;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  check(create_key(e, upper, second) == 0, "create again");
  std::vector<std::string> named = keys_named(kSource);
  check(named.size() == 1, "keys named " + std::string(kSource) + ": " + num(named.size()));
  if (named.size() == 1)
    check(named.front() == kSource, "the key is named " + named.front() + ", as first written");
  check_message_file(kSource, second, "after creating again");

  check(delete_key(e, kSource) == 0, "delete");
  check(check_key(e, kSource) == ERR_KEY_FAILED, "check after delete");
  check(keys_named(kSource).empty(), "the key is still listed after the deletion");
  check(delete_key(e, kSource) == ERR_KEY_FAILED, "delete again");
}

// Whether the registry takes a lasting subkey under the source's key: 0 for a lasting key,
// 1021 for a volatile one.
LSTATUS lasting_subkey(const std::string& source) {
  HKEY key = nullptr;
  LSTATUS status =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path(source).c_str(), 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS) return status;
  HKEY child = nullptr;
  char no_class[] = "";
  status = RegCreateKeyExA(key, "Lasting", 0, no_class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &child, nullptr);
  if (status == ERROR_SUCCESS) {
    RegCloseKey(child);
    RegDeleteKeyA(key, "Lasting");
  }
  RegCloseKey(key);
  return status;
}

std::string long_name(size_t chars) {
  std::string name = "QuorvelLong";
  while (name.size() < chars) name += static_cast<char>('0' + name.size() % 10);
  name.resize(chars);
  return name;
}

// .T. as third parameter makes the key lasting; anything else, the volatile key. Then the
// key's message file, this very quorvel.dll, renders the library's messages through
// QVFORMATEVENTMESSAGE; so again for a source whose name makes the key's path longer than
// the 260 characters of Wine's ANSI registry functions.
void check_lasting_key_and_messages(HMODULE module, const std::string& dll) {
  auto create = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVCREATEEVENTKEY")));
  auto del = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVDELEVENTKEY")));
  auto format = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVFORMATEVENTMESSAGE")));
  check(create && del && format, "QVFORMATEVENTMESSAGE found in quorvel.dll");
  if (!create || !del || !format) return;
  const std::string source = "QuorvelDllChecksLasting";
  for (auto [third, lasts] :
       {std::pair{xpp::Value::boolean(true), true}, std::pair{xpp::Value::boolean(false), false},
        std::pair{xpp::Value::num(1), false}}) {
    std::string what = "QVCREATEEVENTKEY with " + xpp::to_literal(third);
    call(del, {xpp::Value::str(source)}, "QVDELEVENTKEY");
    check(call(create, {xpp::Value::str(source), xpp::Value::str(dll), third}, what) == 0, what);
    LSTATUS status = lasting_subkey(source);
    check(status == (lasts ? ERROR_SUCCESS : ERROR_CHILD_MUST_BE_VOLATILE),
          what + ": a lasting subkey gives " + num(status));
  }
  struct Rendered {
    double id;
    std::vector<xpp::Value> strings;
    std::string text;
  };
  const Rendered renderings[] = {
      {1, {xpp::Value::str("Hello from Xbase++")}, "Hello from Xbase++\r\n"},
      {1000, {xpp::Value::str("last"), xpp::Value::str("x")}, "last\r\n"},
      {500, {}, "%1\r\n"},
      {1001, {xpp::Value::str("none")}, ""}};
  for (const std::string& name : {source, long_name(250)}) {
    if (name != source)
      check(call(create, {xpp::Value::str(name), xpp::Value::str(dll)}, "QVCREATEEVENTKEY") == 0,
            "QVCREATEEVENTKEY of a source name of 250 characters");
    for (const Rendered& r : renderings) {
      xpp::CallResult got =
          xpp::call(format, {xpp::Value::str("Application"), xpp::Value::str(name),
                             xpp::Value::num(r.id), xpp::Value::array(r.strings)});
      for (const std::string& v : got.violations) check(false, "QVFORMATEVENTMESSAGE: " + v);
      check(got.value.is_character() && got.value.text == r.text,
            "QVFORMATEVENTMESSAGE message " + num(static_cast<long>(r.id)) + " of a source of " +
                num(name.size()) + " characters gives " + xpp::to_literal(got.value) +
                ", expected " + quoted(r.text));
    }
    call(del, {xpp::Value::str(name)}, "QVDELEVENTKEY");
  }
}

// The longest message-file path is stored whole; a longer one is refused before any
// registry call, with 206 as the result and the last error, and no key is made.
struct LongPath {
  size_t chars;  // passed
  long created;  // QVCREATEEVENTKEY's result
};
constexpr LongPath kLongPaths[] = {
    {259, 0}, {260, ERROR_FILENAME_EXCED_RANGE}, {400, ERROR_FILENAME_EXCED_RANGE}, {1, 0}};

void check_long_message_files(const Exports& e) {
  for (const LongPath& p : kLongPaths) {
    std::string path = "C:\\";
    for (size_t i = 0; path.size() < p.chars; ++i) path += static_cast<char>('a' + i % 26);
    path.resize(p.chars);
    std::string what = "a message-file path of " + num(p.chars) + " characters";
    long created = create_key(e, kSource, path);
    DWORD error = GetLastError();
    check(created == p.created, what + ": create gives " + std::to_string(created));
    if (p.created != 0) {
      check(error == ERROR_FILENAME_EXCED_RANGE, what + ": last error " + num(error));
      check(check_key(e, kSource) == ERR_KEY_FAILED, what + ": no key");
      continue;
    }
    check_message_file(kSource, path, what);
    check(delete_key(e, kSource) == 0, what + ": delete");
  }
}

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Compares a result with Windows' and, under Wine, with Wine's where Wine differs (-1: it
// does not). A Wine that gives Windows' result passes too, with a note that its entry can go.
void check_outcome(long got, long windows, long wine, const std::string& what) {
  bool differs = wine != -1 && wine != windows;
  if (running_under_wine() && differs) {
    check(got == windows || got == wine, what + " gives " + std::to_string(got) + ", expected " +
                                             std::to_string(windows) + " or Wine's known " +
                                             std::to_string(wine));
    if (got == windows)
      std::printf("note: %s now gives Windows' %ld; its Wine entry can go\n", what.c_str(), got);
    return;
  }
  check(got == windows,
        what + " gives " + std::to_string(got) + ", expected " + std::to_string(windows));
}

// The registry's own limit on one key name: 255 characters on Windows (87 beyond it).
// Wine 8.0's registry takes one more: its limit is 256 characters, 257 are refused with 87.
struct KeyNameLimit {
  size_t chars;
  long windows;
  long wine;  // -1: as Windows
};
constexpr KeyNameLimit kKeyNameLimits[] = {
    {255, ERROR_SUCCESS, -1},
    {256, ERROR_INVALID_PARAMETER, ERROR_SUCCESS},
    {257, ERROR_INVALID_PARAMETER, -1},
};

void check_key_name_limit() {
  HKEY application = nullptr;
  LSTATUS opened =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_ALL_ACCESS, &application);
  check(opened == ERROR_SUCCESS, "the Application log's key, " + num(opened));
  if (opened != ERROR_SUCCESS) return;
  for (const KeyNameLimit& l : kKeyNameLimits) {
    std::string name = long_name(l.chars);
    HKEY key = nullptr;
    char no_class[] = "";
    LSTATUS created = RegCreateKeyExA(application, name.c_str(), 0, no_class, REG_OPTION_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (created == ERROR_SUCCESS) {
      RegCloseKey(key);
      RegDeleteKeyA(application, name.c_str());
    }
    check_outcome(created, l.windows, l.wine,
                  "RegCreateKeyExA of a key name of " + num(l.chars) + " characters");
  }
  RegCloseKey(application);
}

// Source names of any length up to 259 characters reach the registry whole, and its own
// limit on one key name decides: 255 characters on Windows, 256 on Wine 8.0. The library
// gives the registry one name at a time (Wine 8.0's ANSI registry functions refuse a path
// of more than 260 characters with 234, before its registry sees it).
struct LongName {
  size_t chars;
  long windows;  // QVCREATEEVENTKEY's result: 0, or the registry's code
  long wine;     // -1: as Windows
};
constexpr LongName kLongNames[] = {
    {204, 0, -1},
    {206, 0, -1},
    {255, 0, -1},
    {256, ERROR_INVALID_PARAMETER, ERROR_SUCCESS},
    {259, ERROR_INVALID_PARAMETER, -1},
    // Longer names are refused by the library itself.
    {260, ERROR_FILENAME_EXCED_RANGE, -1},
};

void check_long_source_names(const Exports& e) {
  for (const LongName& n : kLongNames) {
    std::string source = long_name(n.chars);
    std::string what = "a source name of " + num(n.chars) + " characters";
    long created = create_key(e, source, "C:\\quorvel.dll");
    check_outcome(created, n.windows, n.wine, what + ": QVCREATEEVENTKEY");
    bool exists = created == 0;
    check(check_key(e, source) == (exists ? 0 : ERR_KEY_FAILED), what + ": check");
    if (exists) check(keys_named(source).size() == 1, what + ": the key under its whole name");
    check(delete_key(e, source) == (exists ? 0 : ERR_KEY_FAILED), what + ": delete");
    check(check_key(e, source) == ERR_KEY_FAILED, what + ": check after delete");
  }
}

bool find_exports(HMODULE module, Exports* e) {
  e->create = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVCREATEEVENTKEY")));
  e->del = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVDELEVENTKEY")));
  e->exists = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "QVCHECKEVENTKEY")));
  check(e->create && e->del && e->exists, "the event-key exports found in quorvel.dll");
  return e->create && e->del && e->exists;
}

struct DefExport {
  const char* name;
  WORD ordinal;
};
constexpr DefExport kDefExports[] = {
#define QV_MODULE_EXPORT(name, ordinal) {#name, ordinal},
#include "module_exports.inc"
#undef QV_MODULE_EXPORT
};

void check_registration(const std::string& dll) {
  for (int load = 1; load <= 2; ++load) {
    const std::string what = "load " + num(load) + ": ";
    HMODULE module = LoadLibraryA(dll.c_str());
    check(module != nullptr, what + "LoadLibraryA, error " + num(GetLastError()));
    if (module == nullptr) return;
    check(xpp::registered_functions().size() == std::size(kDefExports),
          what + num(xpp::registered_functions().size()) + " functions registered");
    for (const DefExport& e : kDefExports) {
      void* exported = reinterpret_cast<void*>(GetProcAddress(module, e.name));
      void* registered = reinterpret_cast<void*>(xpp::find_registered(e.name));
      check(exported != nullptr && registered == exported,
            what + e.name + " is not registered at its exported address");
    }
    FreeLibrary(module);
    check(xpp::registered_functions().empty(), what + "functions registered after the unload");
  }
}

std::string module_path() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + "quorvel.dll";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: dll_checks MESSAGE_TABLE_FILE\n");
    return 1;
  }
  std::vector<BYTE> table = read_file(argv[1]);
  check(!table.empty(), std::string("the generated table ") + argv[1] + " cannot be read");

  std::string dll = module_path();
  check_registration(dll);
  Modules m;
  m.loaded = LoadLibraryA(dll.c_str());
  check(m.loaded != nullptr, "LoadLibraryA(" + dll + "), error " + num(GetLastError()));
  m.data_file = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  check(m.data_file != nullptr,
        "LoadLibraryExA(" + dll + ", as data file), error " + num(GetLastError()));

  for (auto [module, how] : {std::pair{m.loaded, std::string("loaded")},
                             std::pair{m.data_file, std::string("as data file")}}) {
    if (module == nullptr) continue;
    if (!table.empty()) check_resource(module, how, table);
    check_rendering(module, how, 0);
    check_rendering(module, how, kEnglishUS);
  }

  Exports e;
  if (m.loaded != nullptr && find_exports(m.loaded, &e)) {
    // A key left by an interrupted run goes first.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_path(kSource).c_str());
    check_key_lifecycle(e);
    check_long_message_files(e);
    check_key_name_limit();
    check_long_source_names(e);
    check_lasting_key_and_messages(m.loaded, dll);
  }

  if (m.data_file != nullptr) FreeLibrary(m.data_file);
  if (m.loaded != nullptr) FreeLibrary(m.loaded);
  if (failures == 0) std::printf("all quorvel.dll checks passed\n");
  return failures;
}
