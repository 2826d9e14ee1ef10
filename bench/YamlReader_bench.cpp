// The YAML reader beside its anchors, on the highlight list of 1,000 records
// and of 1 record: ReadYaml into our tree, libyaml's bare event loop over the
// same text (parse and delete every event: the floor any reader on libyaml
// pays) and yaml-cpp's YAML::Load into its node tree. Compare within one run:
// absolute times vary between runs. Reports bytes per second and the heap
// allocations one document costs ("allocs/doc").
#include <benchmark/benchmark.h>
#include <yaml-cpp/yaml.h>
#include <yaml.h>

#include <cstdint>
#include <string>

#include "CountingNew.h"
#include "HighlightListFixture.h"
#include "binding/readers/YamlReader.h"

namespace {

const std::string& Body(std::int64_t records) {
  static const std::string kLarge = BenchSupport::HighlightListYaml(1000);
  static const std::string kSmall = BenchSupport::HighlightListYaml(1);
  return records == 1 ? kSmall : kLarge;
}

void Finish(benchmark::State& state, const std::string& body, std::uint64_t allocationsBefore) {
  state.SetBytesProcessed(static_cast<std::int64_t>(body.size()) * state.iterations());
  state.counters["allocs/doc"] =
      benchmark::Counter(static_cast<double>(BenchSupport::HeapAllocations() - allocationsBefore) /
                         static_cast<double>(state.iterations()));
}

void BM_ReadYaml(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    Corvan::BindingResult result = Corvan::ReadYaml(body);
    if (!result.success) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  }
  Finish(state, body, before);
}

// What every event costs in libyaml alone.
void BM_LibyamlEvents(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
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
  }
  Finish(state, body, before);
}

void BM_YamlCppLoad(benchmark::State& state) {
  const std::string& body = Body(state.range(0));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    YAML::Node node = YAML::Load(body);
    benchmark::DoNotOptimize(node);
  }
  Finish(state, body, before);
}

BENCHMARK(BM_ReadYaml)->Arg(1000)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibyamlEvents)->Arg(1000)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YamlCppLoad)->Arg(1000)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
