// The YAML reader beside its anchors, on the highlight list of 1,000 records
// and of 1 record: ReadYaml into our tree, libyaml's bare event loop over the
// same text (parse and delete every event: the floor any reader on libyaml
// pays) and yaml-cpp's YAML::Load into its node tree. Target: ReadYaml /
// LibyamlEvents at most 1.1; the program prints the ratios of its run, and
// for 1,000 records also the ratio measured in alternation.
// Reports bytes per second and the heap allocations and minor page faults one
// document costs ("allocs/doc", "faults/doc").
#include <benchmark/benchmark.h>
#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <string>

#include "Anchors.h"
#include "BenchHarness.h"
#include "HighlightListFixture.h"
#include "binding/readers/YamlReader.h"

namespace {

const std::string& Body(std::int64_t records) {
  static const std::string kLarge = BenchSupport::HighlightListYaml(1000);
  static const std::string kSmall = BenchSupport::HighlightListYaml(1);
  return records == 1 ? kSmall : kLarge;
}

template <class Once>
void Measure(benchmark::State& state, const Once& once, const std::string& body) {
  BenchSupport::Measure(state, once, "doc");
  state.SetBytesProcessed(static_cast<std::int64_t>(body.size()) * state.iterations());
}

void BM_ReadYaml(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    Corvan::BindingResult result = Corvan::ReadYaml(body);
    if (!result.success) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  };
  Measure(state, once, body);
}

// What every event costs in libyaml alone.
void BM_LibyamlEvents(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    if (!BenchSupport::LibyamlEventLoop(body)) state.SkipWithError("libyaml failed");
  };
  Measure(state, once, body);
}

void BM_ReadYamlAlternating(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  BenchSupport::MeasureAlternating(
      state, [&] { benchmark::DoNotOptimize(Corvan::ReadYaml(body)); },
      [&] { benchmark::DoNotOptimize(BenchSupport::LibyamlEventLoop(body)); });
}

void BM_YamlCppLoad(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    YAML::Node node = YAML::Load(body);
    benchmark::DoNotOptimize(node);
  };
  Measure(state, once, body);
}

}  // namespace

int main(int argc, char** argv) {
  using BenchSupport::Args;
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_ReadYaml", BM_ReadYaml, Args({1000, 1})},
       {"BM_LibyamlEvents", BM_LibyamlEvents, Args({1000, 1})},
       {"BM_ReadYamlAlternating", BM_ReadYamlAlternating, BenchSupport::AlternatingArgs({1000})},
       {"BM_YamlCppLoad", BM_YamlCppLoad, Args({1000, 1}), false}},
      {{"BM_ReadYaml/{heap}/1000", "BM_LibyamlEvents/{heap}/1000", 1.1,
        "BM_ReadYamlAlternating/{heap}/1000"},
       {"BM_ReadYaml/{heap}/1", "BM_LibyamlEvents/{heap}/1", 1.1}});
}
