// JSON reader against its anchors, over the same highlight-list text in the
// same binary: 1,000 records (a full list) and 1 record (the common small
// body, where fixed cost per document shows).
//   BM_Ours              ReadJson: RapidJSON's reader building our tree
//   BM_RapidJsonDocument rapidjson::Document::Parse (RapidJSON's own DOM)
//   BM_RapidJsonNoop     rapidjson::Reader with a handler that does nothing
//                        (the parse alone: the floor)
//   BM_Nlohmann          nlohmann::json::parse
// Targets: Ours / RapidJsonDocument at most 1.0 and Nlohmann / Ours at least
// 4, for both sizes; the program prints the ratios of its run. "allocs/doc"
// and "faults/doc" are the heap allocations and minor page faults one
// document costs.
#include <benchmark/benchmark.h>

#include "Anchors.h"  // first: it chooses RapidJSON's SIMD code

#include <rapidjson/reader.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "BenchHarness.h"
#include "HighlightListFixture.h"
#include "binding/readers/JsonReader.h"

namespace {

template <class Once>
void Measure(benchmark::State& state, const Once& once, std::size_t bytes) {
  BenchSupport::Measure(state, once, "doc");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Ours(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const auto once = [&] {
    Corvan::BindingResult result = Corvan::ReadJson(body);
    if (!result.success) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  };
  Measure(state, once, body.size());
}

void BM_RapidJsonDocument(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const auto once = [&] {
    if (!BenchSupport::ParseRapidJsonDocument(body)) state.SkipWithError("parse failed");
  };
  Measure(state, once, body.size());
}

void BM_RapidJsonNoop(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const auto once = [&] {
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::Reader reader;
    rapidjson::StringStream stream(body.c_str());
    const rapidjson::ParseResult outcome = reader.Parse(stream, handler);
    if (outcome.IsError()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(outcome);
  };
  Measure(state, once, body.size());
}

void BM_Nlohmann(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const auto once = [&] {
    nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (value.is_discarded()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(value);
  };
  Measure(state, once, body.size());
}

}  // namespace

int main(int argc, char** argv) {
  using BenchSupport::Args;
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_Ours", BM_Ours, Args({1000, 1})},
       {"BM_RapidJsonDocument", BM_RapidJsonDocument, Args({1000, 1})},
       {"BM_RapidJsonNoop", BM_RapidJsonNoop, Args({1000, 1})},
       {"BM_Nlohmann", BM_Nlohmann, Args({1000, 1}), false}},
      {{"BM_Ours/{heap}/1000", "BM_RapidJsonDocument/{heap}/1000", 1.0},
       {"BM_Ours/{heap}/1", "BM_RapidJsonDocument/{heap}/1", 1.0},
       {"BM_Ours/{heap}/1000", "BM_RapidJsonNoop/{heap}/1000"}});
}
