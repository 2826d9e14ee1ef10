// Cost of verifying a folder of 1,000 highlight files, against the floor of
// opening each file, reading its first 64 KiB and closing it, in the same
// run and with a warm page cache. Files have a realistic cluster structure
// (1 s clusters of 30 video and 30 audio frames, about 800 kbit/s): 25 s
// clips of about 2.6 MB, then clips four times as long, to show whether the
// cost grows with the file size. It should not: the verification stops at
// the first Cluster.
//
// The folders (about 2.6 GB, then 10.4 GB) are written under the system's
// temporary folder when first needed and removed afterwards; the smaller is
// removed before the larger is written.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "highlights/filestore/WebmVerification.h"
#include "media/WebmWriter.h"
#include "support/TempDirectory.h"

namespace {

using namespace Corvan::Media;
using Corvan::Testing::TempDirectory;

constexpr int kFiles = 1000;

struct Folder {
  int scale = 0;
  std::unique_ptr<TempDirectory> directory;
  std::vector<std::string> paths;
  std::size_t fileBytes = 0;
};

// The folder of clips `scale` times 25 s long; one folder exists at a time.
const Folder& FolderOf(int scale) {
  static Folder folder;
  if (folder.scale == scale) return folder;
  folder = Folder{};
  folder.scale = scale;
  folder.directory = std::make_unique<TempDirectory>();
  WebmOptions options;
  options.clusterCount = 25 * scale;
  options.framesPerCluster = 30;
  options.videoFrameBytes = 3300;
  options.audioFrameBytes = 96;
  const std::string bytes = BuildWebm(options).bytes;
  folder.fileBytes = bytes.size();
  for (int i = 0; i < kFiles; ++i) {
    folder.paths.push_back(folder.directory->PathOf("clip-" + std::to_string(i) + ".webm"));
    if (!WriteFileBytes(folder.paths.back(), bytes)) folder.paths.clear();
  }
  return folder;
}

void Report(benchmark::State& state, const Folder& folder) {
  state.SetItemsProcessed(state.iterations() * kFiles);
  state.counters["MB/file"] = static_cast<double>(folder.fileBytes) / 1e6;
}

void BM_VerifyFolder(benchmark::State& state) {
  const Folder& folder = FolderOf(static_cast<int>(state.range(0)));
  if (folder.paths.size() != kFiles) return state.SkipWithError("cannot write the folder");
  for (auto _ : state) {
    // One verifier per folder, as a scan uses it.
    Corvan::Client::Highlights::WebmVerifier verifier;
    int passed = 0;
    for (const std::string& path : folder.paths) passed += verifier.VerifyFile(path);
    if (passed != kFiles) return state.SkipWithError("a highlight failed verification");
  }
  Report(state, folder);
}

// VerifyWebmFile for each file: a new parser every time.
void BM_VerifyFolderNewParsers(benchmark::State& state) {
  const Folder& folder = FolderOf(static_cast<int>(state.range(0)));
  if (folder.paths.size() != kFiles) return state.SkipWithError("cannot write the folder");
  for (auto _ : state) {
    int passed = 0;
    for (const std::string& path : folder.paths) passed += Corvan::Client::Highlights::VerifyWebmFile(path);
    if (passed != kFiles) return state.SkipWithError("a highlight failed verification");
  }
  Report(state, folder);
}

void BM_OpenRead64KiBClose(benchmark::State& state) {
  const Folder& folder = FolderOf(static_cast<int>(state.range(0)));
  if (folder.paths.size() != kFiles) return state.SkipWithError("cannot write the folder");
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    for (const std::string& path : folder.paths) {
      std::FILE* file = std::fopen(path.c_str(), "rb");
      if (file == nullptr) return state.SkipWithError("cannot open a file");
      benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file));
      std::fclose(file);
    }
  }
  Report(state, folder);
}

// Each size's pair runs together, on the same folder.
BENCHMARK(BM_VerifyFolder)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifyFolderNewParsers)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRead64KiBClose)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifyFolder)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRead64KiBClose)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
