// MessagePack reader against msgpack-c's unpack into an object_handle, over
// the same highlight-list bytes in the same binary: 1,000 records (a full
// list) and 1 record (the common small body, where fixed cost per document
// shows). Target: Ours / Msgpack at most 1.5; the program prints the ratios
// of its run, and for 1,000 records also the ratio measured in alternation. "allocs/doc" and "faults/doc" are the heap allocations and
// minor page faults one document costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Anchors.h"
#include "BenchHarness.h"
#include "HighlightListFixture.h"
#include "binding/readers/MessagePackReader.h"

namespace {

template <class Once>
void Measure(benchmark::State& state, const Once& once, std::size_t bytes) {
  BenchSupport::Measure(state, once, "doc");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Ours(benchmark::State& state) {
  const std::vector<std::uint8_t> body = BenchSupport::HighlightListMessagePack(static_cast<int>(state.range(0)));
  const auto once = [&] {
    Corvan::MessagePackReadResult read = Corvan::ReadMessagePack(body.data(), body.size());
    if (!read.result.success || read.consumed != body.size()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(read);
  };
  Measure(state, once, body.size());
}

void BM_Msgpack(benchmark::State& state) {
  const std::vector<std::uint8_t> body = BenchSupport::HighlightListMessagePack(static_cast<int>(state.range(0)));
  const auto once = [&] { BenchSupport::UnpackMsgpack(body); };
  Measure(state, once, body.size());
}

void BM_OursAlternating(benchmark::State& state) {
  const std::vector<std::uint8_t> body = BenchSupport::HighlightListMessagePack(static_cast<int>(state.range(0)));
  BenchSupport::MeasureAlternating(
      state, [&] { benchmark::DoNotOptimize(Corvan::ReadMessagePack(body.data(), body.size())); },
      [&] { BenchSupport::UnpackMsgpack(body); });
}

}  // namespace

int main(int argc, char** argv) {
  using BenchSupport::Args;
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_Ours", BM_Ours, Args({1000, 1})},
       {"BM_Msgpack", BM_Msgpack, Args({1000, 1})},
       {"BM_OursAlternating", BM_OursAlternating, BenchSupport::AlternatingArgs({1000})}},
      {{"BM_Ours/{heap}/1000", "BM_Msgpack/{heap}/1000", 1.5, "BM_OursAlternating/{heap}/1000"},
       {"BM_Ours/{heap}/1", "BM_Msgpack/{heap}/1", 1.5}});
}
