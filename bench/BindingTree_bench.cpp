// Cost of the trees a highlight list travels in: building a list of 1,000
// records of 7 fields, deep-copying it, flattening it for the host, and
// converting it from native records. Reports time per tree and the heap
// allocations and minor page faults one tree costs ("allocs/tree",
// "faults/tree"), as the process leaves glibc's thresholds and with them
// pinned.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "BenchHarness.h"
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

template <class Once>
void Measure(benchmark::State& state, const Once& once) {
  BenchSupport::Measure(state, once, "tree");
}

void BM_BuildTree(benchmark::State& state) {
  const std::vector<Clip> clips = MakeClips();
  Measure(state, [&] {
    BindingProperty tree = BuildTree(clips);
    benchmark::DoNotOptimize(tree);
  });
}

void BM_DeepCopyTree(benchmark::State& state) {
  const BindingProperty tree = BuildTree(MakeClips());
  Measure(state, [&] {
    BindingProperty copy = tree;
    benchmark::DoNotOptimize(copy);
  });
}

void BM_FlattenTree(benchmark::State& state) {
  const BindingProperty tree = BuildTree(MakeClips());
  Measure(state, [&] {
    FlatProperty flat{};
    ToFlatProperty(tree, flat);
    benchmark::DoNotOptimize(flat);
    ReleaseFlatProperty(flat);
  });
}

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
  Measure(state, [&] {
    BindingResult result;
    if (!ConvertNative(result, clips, &registry)) state.SkipWithError(result.ErrorText());
    benchmark::DoNotOptimize(result);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const auto microseconds = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond); };
  return BenchSupport::RunBenchmarks(argc, argv,
                                     {{"BM_BuildTree", BM_BuildTree, microseconds},
                                      {"BM_DeepCopyTree", BM_DeepCopyTree, microseconds},
                                      {"BM_FlattenTree", BM_FlattenTree, microseconds},
                                      {"BM_ConvertNativeList", BM_ConvertNativeList, microseconds}},
                                     {});
}
