// The module loaded as DllLoad() loads it: every export of the module definition registered
// with the run-time by name and address, the registration ended at unload, and so again at
// a second load in the same process; a run-time without the services, or refusing the
// record, still loads it, and its exports work as linked.
#include <dlfcn.h>

#include <algorithm>

#include "exports/registration.h"
#include "host/status.h"
#include "sim_fixture.h"
#include "xpprt/registered.h"

namespace {

// The export names of exports/quorvel.def, sorted.
std::vector<std::string> module_definition_exports() {
  std::vector<std::string> names = {
#define QV_MODULE_EXPORT(name, ordinal) #name,
#include "module_exports.inc"
#undef QV_MODULE_EXPORT
  };
  std::sort(names.begin(), names.end());
  return names;
}

struct Runtime {
  const char* name;
  void (*prepare)();
  bool registers;
};
void PrintTo(const Runtime& r, std::ostream* os) { *os << r.name; }

class DllLoad : public SimTest, public ::testing::WithParamInterface<Runtime> {};

TEST_P(DllLoad, LoadUnloadAndLoadAgain) {
  GetParam().prepare();
  const std::vector<std::string> exports = module_definition_exports();
  ASSERT_GE(exports.size(), 18u);
  for (int load = 1; load <= 2; ++load) {
    SCOPED_TRACE("load " + std::to_string(load));
    void* module = dlopen(QV_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    std::vector<xpp::RegisteredFunction> table = xpp::registered_functions();
    std::vector<std::string> names;
    for (const xpp::RegisteredFunction& f : table) {
      names.push_back(f.name);
      EXPECT_EQ(reinterpret_cast<void*>(f.function), dlsym(module, f.name.c_str())) << f.name;
    }
    EXPECT_EQ(names, GetParam().registers ? exports : std::vector<std::string>());
    // Called as the program finds it: registered, or linked.
    auto linked = reinterpret_cast<xpp::ExportFn>(dlsym(module, "QVDEREGEVENTSOURCE"));
    xpp::ExportFn deregister = xpp::find_registered("QvDeregEventSource");
    EXPECT_EQ(run(deregister != nullptr ? deregister : linked, {N(0)}), N(ERR_MISSING_FIRST));
    EXPECT_EQ(dlclose(module), 0);
    EXPECT_TRUE(xpp::registered_functions().empty()) << "registered after the unload";
  }
}

// Detached at the process's end, the module leaves the run-time alone; unloaded, it ends
// its registration.
TEST_F(SimTest, DetachedAtTheProcessEndTheRegistrationStays) {
  HMODULE module = reinterpret_cast<HMODULE>(uintptr_t{0x10000});
  qv::register_with_runtime(module);
  ASSERT_FALSE(xpp::registered_functions().empty());
  qv::module_detached(module, true);
  EXPECT_FALSE(xpp::registered_functions().empty());
  qv::module_detached(module, false);
  EXPECT_TRUE(xpp::registered_functions().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Runtimes, DllLoad,
    ::testing::Values(Runtime{"WithRegistration", [] {}, true},
                      Runtime{"WithoutTheServices",
                              [] {
                                qvsim::hide_procedure("XPPRT1.dll", "__conRegisterDll");
                                qvsim::hide_procedure("XPPRT1.dll", "__conUnRegisterDll");
                              },
                              false},
                      Runtime{"RefusingTheRecord", [] { xpp::refuse_registrations(2); }, false}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
