// The highlights service through its invoke entries, over a folder of 1,000
// highlight files of about 256 KiB:
//   BM_GetHighlights       GET of the whole list
//   BM_FlatListByHand      its anchor: the same FlatProperty built straight
//                          from the records, one heap allocation per text
//   BM_FlatValueOfTheList  the list converted and flattened the generic way
//   BM_RenameBackAndForth  PUT of a small body that renames a file
//   BM_Rescan              POST: a rescan of the folder
//   BM_OpenRead64KiBClose  its anchor: open, read 64 KiB and close each file
//   BM_RescanAlternating   the two in turn, for the ratio printed beside
//                          the ratio of medians
// Targets: GetHighlights / FlatListByHand at most 1.0 with at most 20
// allocations per call; Rescan / OpenRead64KiBClose at most 1.3 with at most
// 8 allocations per file. Counters are per call ("allocs/call",
// "faults/call") or per file. With KYN_BENCH_SYSCALL_MARKERS set, BM_Rescan
// marks its timed loop with two access() calls of a path that does not
// exist, so a trace of the process shows the system calls of the rescans
// alone (bench/rescan-syscalls counts them).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchHarness.h"
#include "ServiceFixture.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"

namespace {

using BenchSupport::OperationCounters;
using BenchSupport::Service;
using Corvan::Client::Highlights::Api::Highlight;

constexpr int kFiles = 1000;

Service& Shared() { return Service::Shared(kFiles); }

void BM_GetHighlights(benchmark::State& state) {
  Service& service = Shared();
  const HostRequest request = service.Request(HTTP_METHOD_GET, "/kyn-highlights/v1/highlights",
                                              "GetKynHighlightsV1Highlights");
  bool ok = true;
  const auto once = [&] { ok = Service::Invoke(request).empty() && ok; };
  BenchSupport::Measure(state, once, "call");
  if (!ok) state.SkipWithError("the call answered an error");
}

// Text as a flat string of its own heap copy.
FlatProperty OwnedText(const std::string& text) {
  FlatProperty flat{};
  flat.kind = FLAT_STRING_OWNED;
  flat.value.string.data = Corvan::CopyFlatText(text);
  flat.value.string.length = static_cast<std::uint32_t>(text.size());
  return flat;
}

FlatProperty Unsigned(std::uint64_t value) {
  FlatProperty flat{};
  flat.kind = FLAT_UINT64;
  flat.value.uint64 = value;
  return flat;
}

// What a hand-written converter would build: the fields in key order, keys
// borrowed from constants, each text its own heap block.
FlatProperty FlatListByHand(const std::vector<Highlight>& records) {
  auto* items = new FlatProperty[records.size()];
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Highlight& record = records[i];
    auto* entries = new FlatPropertyEntry[7];
    const struct {
      const char* key;
      FlatProperty value;
    } fields[] = {{"fileSizeBytes", Unsigned(record.fileSizeBytes)},
                  {"filepath", OwnedText(record.filepath)},
                  {"id", Unsigned(record.id)},
                  {"mtimeIso8601", OwnedText(record.mtimeIso8601)},
                  {"mtimeMsUtc", Unsigned(record.mtimeMsUtc)},
                  {"name", OwnedText(record.name)},
                  {"url", OwnedText(record.url)}};
    for (int f = 0; f < 7; ++f) {
      entries[f].key = const_cast<char*>(fields[f].key);
      entries[f].ownsKey = 0;
      Corvan::SetEntryValue(entries[f], fields[f].value);
    }
    items[i].kind = FLAT_OBJECT;
    items[i].value.object.entries = entries;
    items[i].value.object.count = 7;
  }
  FlatProperty list{};
  list.kind = FLAT_ARRAY;
  list.value.array.items = items;
  list.value.array.count = static_cast<std::uint32_t>(records.size());
  return list;
}

std::vector<Highlight> CurrentRecords(Service& service) { return service.Records(); }

void BM_FlatListByHand(benchmark::State& state) {
  const std::vector<Highlight> records = CurrentRecords(Shared());
  const auto once = [&] {
    FlatProperty flat = FlatListByHand(records);
    benchmark::DoNotOptimize(flat);
    Corvan::ReleaseFlatProperty(flat);
  };
  BenchSupport::Measure(state, once, "call");
}

void BM_FlatValueOfTheList(benchmark::State& state) {
  Service& service = Shared();
  const std::vector<Highlight> records = CurrentRecords(service);
  const auto once = [&] {
    Corvan::BindingResult converted;
    benchmark::DoNotOptimize(Corvan::ConvertNative(converted, records, &service.plugin().registry()));
    FlatProperty flat{};
    Corvan::ToFlatProperty(converted.property, flat, &service.plugin().registry());
    benchmark::DoNotOptimize(flat);
    Corvan::ReleaseFlatProperty(flat);
  };
  BenchSupport::Measure(state, once, "call");
}

void BM_RenameBackAndForth(benchmark::State& state) {
  Service& service = Shared();
  const Highlight first = CurrentRecords(service).front();
  const std::string path = "/kyn-highlights/v1/highlights/" + std::to_string(first.id);
  const std::string bodies[2] = {R"({"name":"renamed for the benchmark"})",
                                 R"({"name":")" + first.name + R"("})"};
  HostRequest request =
      service.Request(HTTP_METHOD_PUT, path.c_str(), "PutKynHighlightsV1HighlightsById");
  request.bodyContentType = "application/json";
  bool ok = true;
  int turn = 0;
  const auto once = [&] {
    const std::string& body = bodies[turn++ % 2];
    request.body = reinterpret_cast<const std::uint8_t*>(body.data());
    request.bodyLength = static_cast<std::uint32_t>(body.size());
    ok = Service::Invoke(request).empty() && ok;
  };
  BenchSupport::Measure(state, once, "call", 1, 2);
  if (turn % 2 == 1) once();
  if (!ok) state.SkipWithError("a rename failed");
}

// A path no file system has: an access() of it marks the trace.
void MarkTrace(const std::string& what) {
  static const bool marking = std::getenv("KYN_BENCH_SYSCALL_MARKERS") != nullptr;
  if (marking) (void)access(("/kyn-bench-marker/" + what).c_str(), F_OK);
}

// One rescan through the invoke entry; `ok` turns false when one fails.
std::function<void()> RescanOnce(Service& service, bool& ok) {
  const HostRequest request = service.Request(HTTP_METHOD_POST, "/kyn-highlights/v1/highlights",
                                              "PostKynHighlightsV1Highlights");
  return [request, &ok] { ok = Service::Invoke(request).empty() && ok; };
}

// Open, read 64 KiB and close each listed file; `ok` turns false when one
// cannot be opened.
std::function<void()> OpenReadCloseOnce(Service& service, bool& ok) {
  std::vector<std::string> paths;
  for (const Highlight& record : CurrentRecords(service)) paths.push_back(record.filepath);
  ok = paths.size() == kFiles && ok;
  return [paths = std::move(paths), buffer = std::vector<char>(64 * 1024), &ok]() mutable {
    for (const std::string& path : paths) {
      const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      ok = file >= 0 && ok;
      benchmark::DoNotOptimize(read(file, buffer.data(), buffer.size()));
      close(file);
    }
  };
}

void BM_Rescan(benchmark::State& state) {
  Service& service = Shared();
  bool ok = true;
  const auto once = RescanOnce(service, ok);
  BenchSupport::WarmUp(once, 2);
  const OperationCounters counters;
  MarkTrace("begin");
  for (auto _ : state) once();
  MarkTrace("end:" + std::to_string(state.iterations() * kFiles));
  counters.Report(state, "file", kFiles);
  state.counters["MB/file"] = static_cast<double>(service.fileBytes()) / 1e6;
  if (!ok) state.SkipWithError("the rescan failed");
}

void BM_OpenRead64KiBClose(benchmark::State& state) {
  bool ok = true;
  const auto once = OpenReadCloseOnce(Shared(), ok);
  BenchSupport::Measure(state, once, "file", kFiles, 1);
  if (!ok) state.SkipWithError("cannot open a file");
}

void BM_RescanAlternating(benchmark::State& state) {
  bool ok = true;
  BenchSupport::MeasureAlternating(state, RescanOnce(Shared(), ok),
                                   OpenReadCloseOnce(Shared(), ok));
  if (!ok) state.SkipWithError("the rescan or a read failed");
}

}  // namespace

int main(int argc, char** argv) {
  using BenchSupport::Args;
  const auto milliseconds = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
  const auto microseconds = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond); };
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_GetHighlights", BM_GetHighlights, microseconds},
       {"BM_FlatListByHand", BM_FlatListByHand, microseconds},
       {"BM_FlatValueOfTheList", BM_FlatValueOfTheList, microseconds, false},
       {"BM_RenameBackAndForth", BM_RenameBackAndForth, microseconds, false},
       {"BM_Rescan", BM_Rescan, milliseconds},
       {"BM_OpenRead64KiBClose", BM_OpenRead64KiBClose, milliseconds},
       {"BM_RescanAlternating", BM_RescanAlternating,
        BenchSupport::AlternatingArgs({}, benchmark::kMillisecond)}},
      {{"BM_GetHighlights/{heap}", "BM_FlatListByHand/{heap}", 1.0},
       {"BM_Rescan/{heap}", "BM_OpenRead64KiBClose/{heap}", 1.3, "BM_RescanAlternating/{heap}"}});
}
