// What the benchmark programs share beyond counting allocations: per-
// operation counters, the two heap modes and the ratio of each benchmark to
// its anchor.
//
// Heap modes. glibc raises its trim and mmap thresholds after the first
// large free, so a warm benchmark process hides what a heap that returns
// memory costs. Each case with heap modes runs twice: with both thresholds
// pinned at glibc's defaults of 128 KiB from the start of a process of its
// own ("heap:pinned", the program runs itself again with --heap=pinned), then
// in this process as the earlier rows leave the thresholds
// ("heap:as-left"). --heap=pinned or --heap=as-left runs one mode alone.
//
// Ratios. After the runs the program prints, for each pair it declares, the
// CPU time of one benchmark over that of its anchor in the same run, beside
// the goal and the counters. Unless --benchmark_repetitions is given, every
// benchmark runs 7 repetitions of 0.1 s in random order among the others and
// the ratios compare medians; a pair may also be measured in alternation,
// operation by operation, and that ratio is printed beside it.
//
//   int main(int argc, char** argv) {
//     return BenchSupport::RunBenchmarks(argc, argv,
//         {{"BM_Ours", BM_Ours, Args({1000})}, {"BM_Anchor", BM_Anchor, Args({1000})}},
//         {{"BM_Ours/{heap}/1000", "BM_Anchor/{heap}/1000", 1.0}});
//   }
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace BenchSupport {

// Heap allocations and minor page faults of a stretch of a benchmark,
// reported per operation as "allocs/<unit>" and "faults/<unit>".
class OperationCounters {
 public:
  OperationCounters();
  // Reports the counts since construction divided by the iterations times
  // `operationsPerIteration`.
  void Report(benchmark::State& state, const char* unit, double operationsPerIteration = 1) const;

 private:
  std::uint64_t allocations_;
  std::uint64_t faults_;
};

// Runs `body` a few times before measuring, so caches and heaps are warm.
void WarmUp(const std::function<void()>& body, int times = 3);

// Runs `once` warm, then in the timed loop, and reports the counters per
// operation ("allocs/<unit>", "faults/<unit>").
template <class Once>
void Measure(benchmark::State& state, const Once& once, const char* unit,
             double operationsPerIteration = 1, int warmUps = 3) {
  WarmUp(once, warmUps);
  const OperationCounters counters;
  for (auto _ : state) once();
  counters.Report(state, unit, operationsPerIteration);
}

// CPU time of the calling thread, in seconds.
double ThreadCpuSeconds();

// Runs `ours` and `anchor` in alternation, one operation of each per
// iteration (which goes first alternates too), each timed by the thread's
// CPU clock, and reports "ratio": the time of ours over the anchor's. A slow
// spell of a shared machine then weighs on both sides within milliseconds,
// which separate repetitions, however interleaved, cannot promise. For
// operations of 100 us and more, where reading the clock costs nothing.
template <class Ours, class Anchor>
void MeasureAlternating(benchmark::State& state, const Ours& ours, const Anchor& anchor) {
  WarmUp(ours);
  WarmUp(anchor);
  double oursSeconds = 0, anchorSeconds = 0;
  bool oursFirst = true;
  const auto timed = [](const auto& operation) {
    const double start = ThreadCpuSeconds();
    operation();
    return ThreadCpuSeconds() - start;
  };
  for (auto _ : state) {
    if (oursFirst) {
      oursSeconds += timed(ours);
      anchorSeconds += timed(anchor);
    } else {
      anchorSeconds += timed(anchor);
      oursSeconds += timed(ours);
    }
    oursFirst = !oursFirst;
  }
  if (anchorSeconds > 0) state.counters["ratio"] = oursSeconds / anchorSeconds;
}

// One benchmark of a program.
struct Case {
  std::string name;
  void (*run)(benchmark::State&);
  // Arguments, time unit and the like, applied to each registration.
  std::function<void(benchmark::internal::Benchmark*)> configure = nullptr;
  bool heapModes = true;
};

// Applies each argument list as one Args row.
std::function<void(benchmark::internal::Benchmark*)> Args(std::vector<std::int64_t> values,
                                                          benchmark::TimeUnit unit = benchmark::kMicrosecond);

// The configuration of a MeasureAlternating benchmark: the arguments, and
// repetitions of a second each, so that each ratio averages many pairs.
std::function<void(benchmark::internal::Benchmark*)> AlternatingArgs(
    std::vector<std::int64_t> values = {}, benchmark::TimeUnit unit = benchmark::kMicrosecond);

// A benchmark over its anchor. Names may hold "{heap}", which stands for
// "heap:as-left" and "heap:pinned" in turn; `goal` is the largest ratio
// wanted (0 for none). `alternating` names a benchmark that measures the
// same two in alternation (MeasureAlternating); its median ratio is printed
// beside the ratio of the medians.
struct Ratio {
  std::string ours;
  std::string anchor;
  double goal = 0;
  std::string alternating = {};
};

// Runs the cases in both heap modes (or the one the command line names)
// with the command line's options and prints the ratios of each mode.
int RunBenchmarks(int argc, char** argv, const std::vector<Case>& cases,
                  const std::vector<Ratio>& ratios);

}  // namespace BenchSupport
