// Cost of a log call: one rejected by the logger's minimum level (it must
// format nothing and allocate nothing) and one accepted into a target that
// counts its records (no heap allocation per call either). "allocs/call"
// counts heap allocations.
#include <benchmark/benchmark.h>

#include "CountingNew.h"
#include "logging/LogTarget.h"
#include "logging/Logger.h"

namespace {

using namespace Corvan;

class CountingTarget final : public LogTarget {
 public:
  const char* GetName() const override { return "CountingTarget"; }
  bool Write(const LogRecord&) override {
    ++records;
    return true;
  }
  std::uint64_t records = 0;
};

// Reports the allocations per call and fails the run when there were any.
void ReportAllocations(benchmark::State& state, std::uint64_t before, const char* failure) {
  const std::uint64_t made = BenchSupport::HeapAllocations() - before;
  state.counters["allocs/call"] =
      benchmark::Counter(static_cast<double>(made) / static_cast<double>(state.iterations()));
  if (made != 0) state.SkipWithError(failure);
}

void BM_LogRejected(benchmark::State& state) {
  GetLoggerInterface()->addRef();
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) Log(kLogOkay, LogCategory::GEN, "scan found %d files in %s", 12, "folder");
  ReportAllocations(state, before, "a rejected call allocated");
  GetLoggerInterface()->release();
}
BENCHMARK(BM_LogRejected);

void BM_LogAccepted(benchmark::State& state) {
  GetLoggerInterface()->addRef();
  const LoggerInterface* logger = GetLoggerInterface();
  for (LogTargetInterface* console : {logger->stdErrTarget(), logger->debuggerConsoleTarget()}) {
    console->unregisterTarget(console);
  }
  CountingTarget target;
  LogTargetSettings settings;
  settings.level = kLogOkay;
  target.Configure(settings);
  Log(kLogWarn, LogCategory::DBG, "warm up");
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state)
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: %s: %s", "PutHighlight", "failed");
  ReportAllocations(state, before, "an accepted call allocated");
  target.Unregister();
  GetLoggerInterface()->release();
}
BENCHMARK(BM_LogAccepted);

}  // namespace

BENCHMARK_MAIN();
