// Reading a real Security log of 2 MiB (.evtx) through QVEVTQUERY and QVEVTNEXT, beside the
// simulated wevtapi calls that QVEVTNEXT makes, alone (what the export costs above them is
// the library's own cost), and beside libevtx reading the same file directly as XML.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/qv_windows.h"
#include "shipped_module.h"
#include "xpprt/host.h"

#ifdef QV_HAVE_LIBEVTX
#include <libevtx.h>
#endif

namespace {

const char kFile[] = QV_BENCH_EVTX;
constexpr int kEvents = 2261;

void count_events(benchmark::State& state, int events) {
  if (events != kEvents) state.SkipWithError("not every event was read");
  state.SetItemsProcessed(state.iterations() * kEvents);
}

void BM_evtx_quorvel(benchmark::State& state) {
  const xpp::ExportFn query = qvbench::shipped_export("QVEVTQUERY");
  const xpp::ExportFn next = qvbench::shipped_export("QVEVTNEXT");
  const xpp::ExportFn close = qvbench::shipped_export("QVEVTCLOSE");
  if (query == nullptr || next == nullptr || close == nullptr) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  int events = 0;
  size_t elements = 0;
  for (auto _ : state) {
    xpp::Value handle =
        xpp::call(query, {xpp::absent(), xpp::Value::str(kFile), xpp::absent(), xpp::Value::num(1)})
            .value;
    events = 0;
    // One parameter list for every call, as the Xbase++ virtual machine keeps its frame.
    xpp::Frame frame(1);
    frame.set(1, handle);
    for (;;) {
      const xpp::CallResult& r = frame.invoke(next);
      if (!r.value.is_array()) break;
      elements += r.value.items.size();
      ++events;
    }
    xpp::call(close, {handle});
  }
  benchmark::DoNotOptimize(elements);
  count_events(state, events);
}
BENCHMARK(BM_evtx_quorvel)->Name("evtx/quorvel")->Unit(benchmark::kMillisecond);

// The simulated service's part of QVEVTNEXT: the next event, its system values in a context
// of their own and its XML, each rendered with the size asked first, then the handles closed.
void BM_evtx_wevtapi(benchmark::State& state) {
  const std::u16string path(kFile, kFile + sizeof kFile - 1);
  int events = 0;
  std::vector<BYTE> buffer;
  for (auto _ : state) {
    EVT_HANDLE query = EvtQuery(nullptr, reinterpret_cast<LPCWSTR>(path.c_str()), u"*",
                                EvtQueryFilePath | EvtQueryForwardDirection);
    events = 0;
    EVT_HANDLE event = nullptr;
    DWORD returned = 0;
    while (EvtNext(query, 1, &event, 0xFFFFFFFF, 0, &returned)) {
      EVT_HANDLE context = EvtCreateRenderContext(0, nullptr, EvtRenderContextSystem);
      for (EVT_HANDLE with : {context, static_cast<EVT_HANDLE>(nullptr)}) {
        DWORD used = 0;
        DWORD count = 0;
        const DWORD flags = with != nullptr ? EvtRenderEventValues : EvtRenderEventXml;
        EvtRender(with, event, flags, 0, nullptr, &used, &count);
        buffer.resize(used);
        EvtRender(with, event, flags, used, buffer.data(), &used, &count);
      }
      EvtClose(context);
      EvtClose(event);
      ++events;
    }
    EvtClose(query);
  }
  count_events(state, events);
}
BENCHMARK(BM_evtx_wevtapi)->Name("evtx/wevtapi_sim")->Unit(benchmark::kMillisecond);

#ifdef QV_HAVE_LIBEVTX
// libevtx on the same file, every record as its XML text (what evtxexport -f xml prints).
void BM_evtx_libevtx(benchmark::State& state) {
  int events = 0;
  std::vector<uint8_t> xml;
  for (auto _ : state) {
    libevtx_file_t* file = nullptr;
    libevtx_error_t* error = nullptr;
    int records = 0;
    events = 0;
    if (libevtx_file_initialize(&file, &error) != 1 ||
        libevtx_file_open(file, kFile, LIBEVTX_OPEN_READ, &error) != 1 ||
        libevtx_file_get_number_of_records(file, &records, &error) != 1) {
      state.SkipWithError("libevtx cannot open the file");
      break;
    }
    for (int i = 0; i < records; ++i) {
      libevtx_record_t* record = nullptr;
      if (libevtx_file_get_record_by_index(file, i, &record, &error) != 1) break;
      size_t size = 0;
      if (libevtx_record_get_utf8_xml_string_size(record, &size, &error) == 1) {
        xml.resize(size);
        if (libevtx_record_get_utf8_xml_string(record, xml.data(), size, &error) == 1) ++events;
      }
      libevtx_record_free(&record, &error);
    }
    libevtx_file_close(file, &error);
    libevtx_file_free(&file, &error);
    if (error != nullptr) libevtx_error_free(&error);
  }
  count_events(state, events);
}
BENCHMARK(BM_evtx_libevtx)->Name("evtx/libevtx")->Unit(benchmark::kMillisecond);
#endif

}  // namespace
