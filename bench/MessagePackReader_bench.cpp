// MessagePack reader against msgpack-c's unpack into an object_handle, over
// the same highlight-list bytes in the same binary: 1,000 records (a full
// list) and 1 record (the common small body, where fixed cost per document
// shows). Compare the "Ours" and "Msgpack" rows of one run; "allocs/doc" is
// the heap allocations one document costs.
#include <benchmark/benchmark.h>

#include <msgpack.hpp>

#include <cstdint>
#include <vector>

#include "CountingNew.h"
#include "HighlightListFixture.h"
#include "binding/readers/MessagePackReader.h"

namespace {

void ReportAllocations(benchmark::State& state, std::uint64_t before) {
  state.counters["allocs/doc"] = benchmark::Counter(
      static_cast<double>(BenchSupport::HeapAllocations() - before) / static_cast<double>(state.iterations()));
}

void BM_Ours(benchmark::State& state) {
  const std::vector<std::uint8_t> body = BenchSupport::HighlightListMessagePack(static_cast<int>(state.range(0)));
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    Corvan::MessagePackReadResult read = Corvan::ReadMessagePack(body.data(), body.size());
    if (!read.result.success || read.consumed != body.size()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(read);
  }
  ReportAllocations(state, before);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BM_Msgpack(benchmark::State& state) {
  const std::vector<std::uint8_t> body = BenchSupport::HighlightListMessagePack(static_cast<int>(state.range(0)));
  const char* bytes = reinterpret_cast<const char*>(body.data());
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    msgpack::object_handle handle;
    msgpack::unpack(handle, bytes, body.size());
    benchmark::DoNotOptimize(handle.get());
  }
  ReportAllocations(state, before);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

BENCHMARK(BM_Ours)->Arg(1000)->Arg(1);
BENCHMARK(BM_Msgpack)->Arg(1000)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
