// The YAML reader beside its anchors, on the highlight list of 1,000 records
// and of 1 record: ReadYaml into our tree, libyaml's bare event loop over the
// same text (parse and delete every event: the floor any reader on libyaml
// pays) and yaml-cpp's YAML::Load into its node tree. Target: ReadYaml /
// LibyamlEvents at most 1.1; the program prints the ratios of its run.
// Reports bytes per second and the heap allocations and minor page faults one
// document costs ("allocs/doc", "faults/doc").
#include <benchmark/benchmark.h>
#include <yaml-cpp/yaml.h>
#include <yaml.h>

#include <cstdint>
#include <string>

#include "BenchHarness.h"
#include "HighlightListFixture.h"
#include "binding/readers/YamlReader.h"

namespace {

const std::string& Body(std::int64_t records) {
  static const std::string kLarge = BenchSupport::HighlightListYaml(1000);
  static const std::string kSmall = BenchSupport::HighlightListYaml(1);
  return records == 1 ? kSmall : kLarge;
}

using BenchSupport::OperationCounters;

void Finish(benchmark::State& state, const std::string& body, const OperationCounters& counters) {
  state.SetBytesProcessed(static_cast<std::int64_t>(body.size()) * state.iterations());
  counters.Report(state, "doc");
}

void BM_ReadYaml(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    Corvan::BindingResult result = Corvan::ReadYaml(body);
    if (!result.success) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  };
  BenchSupport::WarmUp(once);
  const OperationCounters counters;
  for (auto _ : state) once();
  Finish(state, body, counters);
}

// What every event costs in libyaml alone.
void BM_LibyamlEvents(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(body.data()),
                                 body.size());
    yaml_event_t event;
    std::size_t events = 0;
    bool done = false;
    while (!done && yaml_parser_parse(&parser, &event) != 0) {
      done = event.type == YAML_STREAM_END_EVENT;
      ++events;
      yaml_event_delete(&event);
    }
    if (parser.error != YAML_NO_ERROR) state.SkipWithError("libyaml failed");
    yaml_parser_delete(&parser);
    benchmark::DoNotOptimize(events);
  };
  BenchSupport::WarmUp(once);
  const OperationCounters counters;
  for (auto _ : state) once();
  Finish(state, body, counters);
}

void BM_YamlCppLoad(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const auto once = [&] {
    YAML::Node node = YAML::Load(body);
    benchmark::DoNotOptimize(node);
  };
  BenchSupport::WarmUp(once);
  const OperationCounters counters;
  for (auto _ : state) once();
  Finish(state, body, counters);
}

}  // namespace

int main(int argc, char** argv) {
  using BenchSupport::Args;
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_ReadYaml", BM_ReadYaml, Args({1000, 1})},
       {"BM_LibyamlEvents", BM_LibyamlEvents, Args({1000, 1})},
       {"BM_YamlCppLoad", BM_YamlCppLoad, Args({1000, 1}), false}},
      {{"BM_ReadYaml/{heap}/1000", "BM_LibyamlEvents/{heap}/1000", 1.1},
       {"BM_ReadYaml/{heap}/1", "BM_LibyamlEvents/{heap}/1", 1.1}});
}
