// Cost of the trees a highlight list travels in: building a list of 1,000
// records of 7 fields, deep-copying it, flattening it for the host, and
// converting it from native records. Reports time per tree and the heap
// allocations one tree costs ("allocs/tree").
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "CountingNew.h"
#include "binding/BindingProperty.h"
#include "binding/BindingRegistry.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"

namespace BenchTypes {
struct Clip {
  std::uint64_t id = 0;
  std::string name;
  std::string path;
  std::string url;
  std::uint64_t mtimeMsUtc = 0;
  std::string mtimeIsoUtc;
  std::uint64_t fileSizeBytes = 0;
};
}  // namespace BenchTypes
KYN_TYPE_TEXT(BenchTypes::Clip, "struct BenchTypes::Clip")

namespace {

using namespace Corvan;
using BenchTypes::Clip;
constexpr int kRecords = 1000;

std::vector<Clip> MakeClips() {
  std::vector<Clip> clips(kRecords);
  for (int i = 0; i < kRecords; ++i) {
    Clip& clip = clips[i];
    clip.id = static_cast<std::uint64_t>(i) + 1;
    clip.name = "Highlight " + std::to_string(i);
    clip.path = "C:/Users/player/Documents/Highlights/Highlight " + std::to_string(i) + ".webm";
    clip.url = "/kyn-highlights-videos/assets/Highlight%20" + std::to_string(i) + ".webm";
    clip.mtimeMsUtc = 1551443696789ull + static_cast<std::uint64_t>(i) * 1000;
    clip.mtimeIsoUtc = "2019-03-01T12:34:56.789Z";
    clip.fileSizeBytes = 1048576ull + static_cast<std::uint64_t>(i);
  }
  return clips;
}

BindingProperty BuildTree(const std::vector<Clip>& clips) {
  BindingProperty list;
  list.MakeCollection(clips.size());
  for (const Clip& clip : clips) {
    BindingProperty& record = list.Append();
    record.Field("id").SetUnsigned(clip.id);
    record.Field("name").SetString(clip.name);
    record.Field("filepath").SetString(clip.path);
    record.Field("url").SetString(clip.url);
    record.Field("mtimeMsUtc").SetUnsigned(clip.mtimeMsUtc);
    record.Field("mtimeIsoUtc").SetString(clip.mtimeIsoUtc);
    record.Field("fileSizeBytes").SetUnsigned(clip.fileSizeBytes);
  }
  return list;
}

void ReportAllocations(benchmark::State& state, std::uint64_t before) {
  state.counters["allocs/tree"] =
      benchmark::Counter(static_cast<double>(BenchSupport::HeapAllocations() - before) /
                         static_cast<double>(state.iterations()));
}

void BM_BuildTree(benchmark::State& state) {
  const std::vector<Clip> clips = MakeClips();
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    BindingProperty tree = BuildTree(clips);
    benchmark::DoNotOptimize(tree);
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMicrosecond);

void BM_DeepCopyTree(benchmark::State& state) {
  const BindingProperty tree = BuildTree(MakeClips());
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    BindingProperty copy = tree;
    benchmark::DoNotOptimize(copy);
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_DeepCopyTree)->Unit(benchmark::kMicrosecond);

void BM_FlattenTree(benchmark::State& state) {
  const BindingProperty tree = BuildTree(MakeClips());
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    FlatProperty flat{};
    ToFlatProperty(tree, flat);
    benchmark::DoNotOptimize(flat);
    ReleaseFlatProperty(flat);
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_FlattenTree)->Unit(benchmark::kMicrosecond);

void BM_ConvertNativeList(benchmark::State& state) {
  BindingRegistry registry;
  registry.RegisterType<Clip>("Clip")
      .AddField("id", "", &Clip::id)
      .AddField("name", "", &Clip::name)
      .AddField("filepath", "", &Clip::path)
      .AddField("url", "", &Clip::url)
      .AddField("mtimeMsUtc", "", &Clip::mtimeMsUtc)
      .AddField("mtimeIsoUtc", "", &Clip::mtimeIsoUtc)
      .AddField("fileSizeBytes", "", &Clip::fileSizeBytes);
  const std::vector<Clip> clips = MakeClips();
  const std::uint64_t before = BenchSupport::HeapAllocations();
  for (auto _ : state) {
    BindingResult result;
    if (!ConvertNative(result, clips, &registry)) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_ConvertNativeList)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
