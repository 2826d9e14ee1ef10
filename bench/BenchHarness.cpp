#include "BenchHarness.h"

#include <algorithm>

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "CountingNew.h"

namespace BenchSupport {
namespace {

constexpr int kGlibcDefaultThreshold = 128 * 1024;
constexpr char kPinnedFlag[] = "--heap=pinned";
constexpr char kAsLeftFlag[] = "--heap=as-left";

void PinThresholds() {
  mallopt(M_TRIM_THRESHOLD, kGlibcDefaultThreshold);
  mallopt(M_MMAP_THRESHOLD, kGlibcDefaultThreshold);
}

// Runs this program again with the same arguments and the pinned heap flag,
// and waits for it; its output goes where ours goes.
int RunPinnedProcess(int argc, char** argv) {
  std::vector<char*> arguments(argv, argv + argc);
  arguments.push_back(const_cast<char*>(kPinnedFlag));
  arguments.push_back(nullptr);
  std::fflush(stdout);
  pid_t child = 0;
  if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, arguments.data(), environ) != 0) {
    std::perror("posix_spawn");
    return 1;
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Removes the heap flag from the arguments; which one was given.
enum class HeapFlag { None, Pinned, AsLeft };
HeapFlag TakeHeapFlag(int& argc, char** argv) {
  HeapFlag flag = HeapFlag::None;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], kPinnedFlag) == 0) {
      flag = HeapFlag::Pinned;
    } else if (std::strcmp(argv[i], kAsLeftFlag) == 0) {
      flag = HeapFlag::AsLeft;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return flag;
}

struct Measured {
  double cpuSeconds = 0;
  benchmark::UserCounters counters;
};

// The console output, remembering each row's CPU time and counters; with
// repetitions the medians stand for the benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
      Measured& row = rows_[WithoutMinTime(run.run_name.str())];
      row.cpuSeconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      row.counters = run.counters;
    }
  }

  void PrintRatios(const std::vector<Ratio>& ratios) const {
    std::printf("\nRatios of CPU time per operation, each to its anchor in this run:\n");
    for (const Ratio& ratio : ratios) {
      for (const char* mode : {"heap:as-left", "heap:pinned"}) {
        const std::string ours = Expand(ratio.ours, mode), anchor = Expand(ratio.anchor, mode);
        const auto a = rows_.find(ours), b = rows_.find(anchor);
        if (a == rows_.end() || b == rows_.end() || b->second.cpuSeconds <= 0) continue;
        const double value = a->second.cpuSeconds / b->second.cpuSeconds;
        std::printf("  %-44s / %-44s = %5.2f", ours.c_str(), anchor.c_str(), value);
        PrintGoal(ratio.goal, value);
        std::printf("%s\n", Counters(a->second).c_str());
        const auto alternating = rows_.find(Expand(ratio.alternating, mode));
        if (!ratio.alternating.empty() && alternating != rows_.end()) {
          const auto counter = alternating->second.counters.find("ratio");
          if (counter != alternating->second.counters.end()) {
            std::printf("  %-44s   %-44s = %5.2f", "", "in alternation", counter->second.value);
            PrintGoal(ratio.goal, counter->second.value);
            std::printf("\n");
          }
        }
        if (ratio.ours.find("{heap}") == std::string::npos) break;
      }
    }
  }

 private:
  // Benchmarks with a minimum time of their own carry it in their names.
  static std::string WithoutMinTime(std::string name) {
    const std::size_t at = name.find("/min_time:");
    if (at != std::string::npos) name.erase(at, name.find('/', at + 1) - at);
    return name;
  }
  static void PrintGoal(double goal, double value) {
    if (goal > 0) std::printf("  (goal <= %.2f: %s)", goal, value <= goal ? "met" : "MISSED");
  }
  static std::string Expand(std::string name, const char* mode) {
    const std::size_t at = name.find("{heap}");
    if (at != std::string::npos) name.replace(at, 6, mode);
    return name;
  }
  static std::string Counters(const Measured& row) {
    std::string text;
    for (const auto& [name, counter] : row.counters) {
      if (name.rfind("allocs/", 0) != 0 && name.rfind("faults/", 0) != 0) continue;
      char value[64];
      std::snprintf(value, sizeof value, "  %s=%.4g", name.c_str(), counter.value);
      text += value;
    }
    return text;
  }

  std::map<std::string, Measured> rows_;
};

void Register(const Case& c, const char* suffix) {
  const std::string name = c.name + suffix;
  auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), c.run);
  if (c.configure) c.configure(benchmark);
}

}  // namespace

OperationCounters::OperationCounters()
    : allocations_(HeapAllocations()), faults_(MinorPageFaults()) {}

void OperationCounters::Report(benchmark::State& state, const char* unit,
                               double operationsPerIteration) const {
  const double operations = static_cast<double>(state.iterations()) * operationsPerIteration;
  if (operations <= 0) return;
  state.counters[std::string("allocs/") + unit] =
      static_cast<double>(HeapAllocations() - allocations_) / operations;
  state.counters[std::string("faults/") + unit] =
      static_cast<double>(MinorPageFaults() - faults_) / operations;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void WarmUp(const std::function<void()>& body, int times) {
  for (int i = 0; i < times; ++i) body();
}

std::function<void(benchmark::internal::Benchmark*)> Args(std::vector<std::int64_t> values,
                                                          benchmark::TimeUnit unit) {
  return [values = std::move(values), unit](benchmark::internal::Benchmark* benchmark) {
    for (const std::int64_t value : values) benchmark->Arg(value);
    benchmark->Unit(unit);
  };
}

std::function<void(benchmark::internal::Benchmark*)> AlternatingArgs(
    std::vector<std::int64_t> values, benchmark::TimeUnit unit) {
  return [values = std::move(values), unit](benchmark::internal::Benchmark* benchmark) {
    for (const std::int64_t value : values) benchmark->Arg(value);
    benchmark->Unit(unit)->MinTime(1.0);
  };
}

// Unless the caller chose repetitions, each benchmark runs in several short
// repetitions in random order among the others, and the ratios compare
// medians: on a shared machine a slow spell then falls on both sides of a
// ratio instead of on whichever benchmark ran during it.
std::vector<char*> WithInterleavedRepetitions(int argc, char** argv) {
  std::vector<char*> arguments(argv, argv + argc);
  const bool chosen = std::any_of(arguments.begin() + 1, arguments.end(), [](const char* argument) {
    return std::strncmp(argument, "--benchmark_repetitions", 23) == 0;
  });
  if (!chosen) {
    static char repetitions[] = "--benchmark_repetitions=7";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    static char minTime[] = "--benchmark_min_time=0.1";
    static char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    arguments.insert(arguments.begin() + 1, {repetitions, interleaving, minTime, aggregatesOnly});
  }
  arguments.push_back(nullptr);
  return arguments;
}

int RunBenchmarks(int originalArgc, char** originalArgv, const std::vector<Case>& cases,
                  const std::vector<Ratio>& ratios) {
  std::vector<char*> arguments = WithInterleavedRepetitions(originalArgc, originalArgv);
  int argc = static_cast<int>(arguments.size()) - 1;
  char** argv = arguments.data();
  const HeapFlag flag = TakeHeapFlag(argc, argv);
  if (flag == HeapFlag::None) {
    // The pinned rows first, in a process of their own whose heap has no
    // history: pinning comes before its first allocation of note.
    const int status = RunPinnedProcess(argc, argv);
    if (status != 0) return status;
  }
  const bool pinned = flag == HeapFlag::Pinned;
  if (pinned) PinThresholds();
  for (const Case& c : cases) {
    if (!c.heapModes) {
      if (!pinned) Register(c, "");
    } else {
      Register(c, pinned ? "/heap:pinned" : "/heap:as-left");
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(ratios);
  benchmark::Shutdown();
  return 0;
}

}  // namespace BenchSupport
