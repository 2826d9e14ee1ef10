// The highlights service through its invoke entry, over a folder of 1,000
// highlight files: GET of the whole list (against building its flat value
// alone), a rename back and forth, and a rescan of the folder.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "CountingNew.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"
#include "highlights/HighlightsPlugin.h"
#include "media/WebmWriter.h"
#include "plugin/PluginEntry.h"
#include "routing/InvokeEntry.h"
#include "support/ScriptedHost.h"
#include "support/TempDirectory.h"

namespace {

using Corvan::Client::Highlights::HighlightsPlugin;
using Corvan::Client::Highlights::Api::Highlight;

constexpr int kFiles = 1000;

// A started plugin over a folder of kFiles highlights.
struct Service {
  Service() {
    for (int i = 0; i < kFiles; ++i) {
      Corvan::Media::WriteWebmFile(folder.PathOf("Kynmoor Highlight " + std::to_string(i) + ".webm"),
                                 Corvan::Media::WebmOptions{});
    }
    host.RecordEventPayloads(false);
    host.Answer("/kyn-platform-config/v1/namespaces/Highlights",
                TestSupport::ScriptedAnswer::Value(Enabled()));
    host.Answer("/kyn-settings/v1/local/kyn-replays", TestSupport::ScriptedAnswer::Value(Settings()));
    block.apiVersionMajor = 18;
    Corvan::LoadPlugin(&block, "kyn-highlights", &HighlightsPlugin::Create);
    link = HostLink{host.api(), 1};
    block.callbacks->initialize(block.context, &link);
  }
  ~Service() { block.callbacks->shutdown(block.context); }

  HighlightsPlugin& plugin() { return *static_cast<HighlightsPlugin*>(block.context); }
  void* Context(const char* function) const {
    for (std::uint32_t i = 0; i < block.apiDescription->functionCount; ++i) {
      const FunctionDescriptor& descriptor = block.apiDescription->functions[i];
      if (std::strcmp(descriptor.function.name, function) == 0) {
        return descriptor.function.functionContext;
      }
    }
    return nullptr;
  }
  Corvan::BindingProperty Enabled() {
    Corvan::BindingProperty value;
    value.Field("Enabled").SetBool(true);
    return value;
  }
  Corvan::BindingProperty Settings() {
    Corvan::BindingProperty value;
    value.Field("data").Field("highlights-folder-path").SetString(folder.path());
    return value;
  }

  Corvan::Testing::TempDirectory folder;
  TestSupport::ScriptedHost host;
  PluginLoadBlock block{};
  HostLink link{};
};

Service& SharedService() {
  static Service* service = new Service();
  return *service;
}

// A request of one of the plugin's routes, through its descriptor.
HostRequest RouteRequest(const Service& service, std::uint32_t method, const char* path,
                         const char* function) {
  HostRequest request{};
  request.method = method;
  request.path = path;
  request.functionContext = service.Context(function);
  return request;
}

bool Invoke(const HostRequest& request) {
  HostResponse response;
  std::memset(&response, 0, sizeof response);
  Corvan::InvokeFunction(&response, &request);
  const bool failed = response.result.hasError != 0;
  benchmark::DoNotOptimize(response);
  response.release(&response);
  return !failed;
}

void CountAllocations(benchmark::State& state, std::uint64_t before) {
  const std::uint64_t allocations = BenchSupport::HeapAllocations() - before;
  state.counters["allocs/call"] = benchmark::Counter(static_cast<double>(allocations) /
                                                     static_cast<double>(state.iterations()));
}

void BM_GetHighlights(benchmark::State& state) {
  Service& service = SharedService();
  const HostRequest request =
      RouteRequest(service, HTTP_METHOD_GET, "/kyn-highlights/v1/highlights", "GetKynHighlightsV1Highlights");
  bool ok = true;
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) ok = Invoke(request) && ok;
  CountAllocations(state, before);
  if (!ok) state.SkipWithError("the call answered an error");
}

// The floor of the GET: the list's flat value built and released.
void BM_FlatValueOfTheList(benchmark::State& state) {
  Service& service = SharedService();
  const std::vector<Highlight> records = *service.plugin().GetHighlights().value();
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    Corvan::BindingResult converted;
    benchmark::DoNotOptimize(Corvan::ConvertNative(converted, records, &service.plugin().registry()));
    FlatProperty flat{};
    Corvan::ToFlatProperty(converted.property, flat, &service.plugin().registry());
    benchmark::DoNotOptimize(flat);
    Corvan::ReleaseFlatProperty(flat);
  }
  CountAllocations(state, before);
}

void BM_RenameBackAndForth(benchmark::State& state) {
  Service& service = SharedService();
  const Highlight first = service.plugin().GetHighlights().value()->front();
  const std::string path = "/kyn-highlights/v1/highlights/" + std::to_string(first.id);
  const std::string bodies[2] = {R"({"name":"renamed for the benchmark"})",
                                 R"({"name":")" + first.name + R"("})"};
  HostRequest request =
      RouteRequest(service, HTTP_METHOD_PUT, path.c_str(), "PutKynHighlightsV1HighlightsById");
  request.bodyContentType = "application/json";
  bool ok = true;
  int turn = 0;
  for (auto _ : state) {
    const std::string& body = bodies[turn++ % 2];
    request.body = reinterpret_cast<const std::uint8_t*>(body.data());
    request.bodyLength = static_cast<std::uint32_t>(body.size());
    ok = Invoke(request) && ok;
  }
  if (turn % 2 == 1) {
    request.body = reinterpret_cast<const std::uint8_t*>(bodies[1].data());
    request.bodyLength = static_cast<std::uint32_t>(bodies[1].size());
    Invoke(request);
  }
  if (!ok) state.SkipWithError("a rename failed");
}

void BM_Rescan(benchmark::State& state) {
  Service& service = SharedService();
  const HostRequest request =
      RouteRequest(service, HTTP_METHOD_POST, "/kyn-highlights/v1/highlights", "PostKynHighlightsV1Highlights");
  bool ok = true;
  for (auto _ : state) ok = Invoke(request) && ok;
  if (!ok) state.SkipWithError("the rescan failed");
}

BENCHMARK(BM_GetHighlights)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatValueOfTheList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenameBackAndForth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rescan)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
