// JSON reader against its anchors, over the same highlight-list text in the
// same binary: 1,000 records (a full list) and 1 record (the common small
// body, where fixed cost per document shows).
//   BM_Ours              ReadJson: RapidJSON's reader building our tree
//   BM_RapidJsonDocument rapidjson::Document::Parse (RapidJSON's own DOM)
//   BM_RapidJsonNoop     rapidjson::Reader with a handler that does nothing
//                        (the parse alone: the floor)
//   BM_Nlohmann          nlohmann::json::parse
// Targets: Ours / RapidJsonDocument at most 1.0 and Nlohmann / Ours at least
// 4, for both sizes; compare the rows of one run. "allocs/doc" is the heap
// allocations one document costs.
#include <benchmark/benchmark.h>

// The same choice as src/binding/readers/JsonReader.cpp, so that both sides
// run the same RapidJSON code (and its templates agree between the two).
#if !defined(RAPIDJSON_SSE2) && !defined(RAPIDJSON_SSE42) &&           \
    (defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64) || \
     (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define RAPIDJSON_SSE2
#endif
#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "CountingNew.h"
#include "HighlightListFixture.h"
#include "binding/readers/JsonReader.h"

namespace {

void ReportAllocations(benchmark::State& state, std::uint64_t before, std::size_t bytes) {
  state.counters["allocs/doc"] = benchmark::Counter(
      static_cast<double>(BenchSupport::HeapAllocations() - before) / static_cast<double>(state.iterations()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Ours(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    Corvan::BindingResult result = Corvan::ReadJson(body);
    if (!result.success) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  }
  ReportAllocations(state, before, body.size());
}

void BM_RapidJsonDocument(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(body.c_str(), body.size());
    if (document.HasParseError()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(document);
  }
  ReportAllocations(state, before, body.size());
}

void BM_RapidJsonNoop(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::Reader reader;
    rapidjson::StringStream stream(body.c_str());
    const rapidjson::ParseResult outcome = reader.Parse(stream, handler);
    if (outcome.IsError()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(outcome);
  }
  ReportAllocations(state, before, body.size());
}

void BM_Nlohmann(benchmark::State& state) {
  const std::string body = BenchSupport::HighlightListJson(static_cast<int>(state.range(0)));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (value.is_discarded()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(value);
  }
  ReportAllocations(state, before, body.size());
}

BENCHMARK(BM_Ours)->Arg(1000)->Arg(1);
BENCHMARK(BM_RapidJsonDocument)->Arg(1000)->Arg(1);
BENCHMARK(BM_RapidJsonNoop)->Arg(1000)->Arg(1);
BENCHMARK(BM_Nlohmann)->Arg(1000)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
