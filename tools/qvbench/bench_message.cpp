// Rendering a message: QVFORMATEVENTMESSAGE through the stand-in run-time, from a source's
// key to the text, loading its message file on every call as the export does.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/qv_windows.h"
#include "qvsim/control.h"
#include "shipped_module.h"
#include "xpprt/host.h"

namespace {

// The key of a source whose message file is the library's own table in a PE file.
bool make_key() {
  qvsim::reset();
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                      "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\BenchApp", 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const std::string file = QV_MESSAGE_FILE;
  RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(file.c_str()), static_cast<DWORD>(file.size() + 1));
  RegCloseKey(key);
  return true;
}

void BM_message_quorvel(benchmark::State& state) {
  const xpp::ExportFn format = qvbench::shipped_export("QVFORMATEVENTMESSAGE");
  if (format == nullptr || !make_key()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  xpp::Frame call(4);
  call.set(1, xpp::Value::str("Application"));
  call.set(2, xpp::Value::str("BenchApp"));
  call.set(3, xpp::Value::num(500));
  call.set(4, xpp::Value::array({xpp::Value::str("Order 4711 shipped to the customer")}));
  size_t length = 0;
  for (auto _ : state) {
    const xpp::CallResult& r = call.invoke(format);
    length += r.value.text.size();
  }
  if (length != static_cast<size_t>(state.iterations()) * 36)
    state.SkipWithError("the message was not rendered");
  benchmark::DoNotOptimize(length);
  qvsim::reset();
}
BENCHMARK(BM_message_quorvel)->Name("message/quorvel")->Unit(benchmark::kMicrosecond);

}  // namespace
