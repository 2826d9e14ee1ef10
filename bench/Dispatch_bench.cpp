// Cost of one call through the invoke entry, as the host makes it: (a) a
// handler without arguments that returns a small record, and (b) a handler
// with a path argument and a JSON body of one record. Each runs with 1, 10
// and 100 other routes registered beside it, to show that a call costs the
// same however large the route table is. Reports time per call and heap
// allocations per call ("allocs/call"), response release included.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "CountingNew.h"
#include "binding/BindingRegistry.h"
#include "routing/InvokeEntry.h"
#include "routing/Reply.h"
#include "routing/RouteBinding.h"
#include "routing/Router.h"

namespace BenchTypes {
struct Clip {
  std::uint64_t id = 0;
  std::string name;
  std::uint64_t fileSizeBytes = 0;
};
}  // namespace BenchTypes
KYN_TYPE_TEXT(BenchTypes::Clip, "struct BenchTypes::Clip")

namespace {

using namespace Corvan;
using BenchTypes::Clip;

class Handlers {
 public:
  Reply<Clip> Small() { return Clip{7, "Kynmoor Highlight 2026001", 4000000}; }
  Reply<Clip> Rename(std::uint64_t id, const Clip& body) {
    return Clip{id, body.name, body.fileSizeBytes};
  }
};

struct Plugin {
  explicit Plugin(int extraRoutes) {
    registry.RegisterType<Clip>("Clip")
        .AddField("id", "", &Clip::id)
        .AddField("name", "", &Clip::name, kFieldRequired)
        .AddField("fileSizeBytes", "", &Clip::fileSizeBytes);
    router.SetTags({"Plugins", "Plugin kyn-highlights"});
    for (int i = 0; i < extraRoutes; ++i) {
      router.Get("/bench/extra/" + std::to_string(i), &handlers, &Handlers::Small);
    }
    router.Get("/bench/small", &handlers, &Handlers::Small);
    router.Put("/bench/clips/{id}", &handlers, &Handlers::Rename)
        .AddPathArgument("id", "")
        .AddBodyArgument("clip", "");
    router.BuildDescription();
  }

  void* Context(std::string_view name) const {
    return const_cast<FunctionContext*>(&router.FindBinding(name)->context);
  }

  BindingRegistry registry;
  Handlers handlers;
  Router router{registry};
};

void RunCalls(benchmark::State& state, const HostRequest& request) {
  bool failed = false;
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    InvokeFunction(&response, &request);
    failed = failed || response.result.hasError != 0;
    benchmark::DoNotOptimize(response);
    response.release(&response);
  }
  const std::uint64_t allocations = BenchSupport::HeapAllocations() - before;
  if (failed) state.SkipWithError("the call answered an error");
  state.counters["allocs/call"] = benchmark::Counter(static_cast<double>(allocations) /
                                                     static_cast<double>(state.iterations()));
  state.counters["routes"] = static_cast<double>(state.range(0) + 2);
}

void BM_NoArgumentsSmallRecord(benchmark::State& state) {
  Plugin plugin(static_cast<int>(state.range(0)));
  HostRequest request{};
  request.method = HTTP_METHOD_GET;
  request.path = "/bench/small";
  request.functionContext = plugin.Context("GetBenchSmall");
  RunCalls(state, request);
}

void BM_PathArgumentAndJsonBody(benchmark::State& state) {
  Plugin plugin(static_cast<int>(state.range(0)));
  static constexpr char kBody[] = R"({"name":"Kynmoor Highlight 2026002","fileSizeBytes":4007919})";
  HostRequest request{};
  request.method = HTTP_METHOD_PUT;
  request.path = "/bench/clips/42";
  request.functionContext = plugin.Context("PutBenchClipsById");
  request.bodyContentType = "application/json";
  request.body = reinterpret_cast<const std::uint8_t*>(kBody);
  request.bodyLength = sizeof kBody - 1;
  RunCalls(state, request);
}

}  // namespace

BENCHMARK(BM_NoArgumentsSmallRecord)->Arg(0)->Arg(10)->Arg(100);
BENCHMARK(BM_PathArgumentAndJsonBody)->Arg(0)->Arg(10)->Arg(100);
BENCHMARK_MAIN();
