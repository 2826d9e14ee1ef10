// Request bodies through the invoke entry, as a host sends them: PUT of
// "/kyn-highlights/v1/highlights/{id}" with a highlight list of 1,000 records
// as the body (which the route then refuses, since a list is no highlight),
// beside the anchors that read the same bytes in the same run:
//   BM_PutJson         / BM_RapidJsonDocument  rapidjson::Document::Parse
//   BM_PutMessagePack  / BM_MsgpackUnpack      msgpack::unpack
//   BM_PutYaml         / BM_LibyamlEvents      libyaml's bare event loop
// The MessagePack and YAML pairs are also measured in alternation
// (BM_Put*Alternating), whose ratio is printed beside the ratio of medians.
// Targets: at most 1.0, 1.5 and 1.1, with 0 page faults per request after
// warm-up in both heap modes. BM_PutSixtyMegabytesOfNumbers sends one JSON
// body of 60 MB of numbers once and reports how far the process's resident
// memory rose ("peakMB") and the answer's error text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Anchors.h"
#include "BenchHarness.h"
#include "HighlightListFixture.h"
#include "ServiceFixture.h"

namespace {

using BenchSupport::Service;

constexpr int kRecords = 1000;

struct Bodies {
  std::string json = BenchSupport::HighlightListJson(kRecords);
  std::string yaml = BenchSupport::HighlightListYaml(kRecords);
  std::vector<std::uint8_t> messagePack = BenchSupport::HighlightListMessagePack(kRecords);
};

const Bodies& TheBodies() {
  static const Bodies bodies;
  return bodies;
}

// The path of the folder's one highlight.
const std::string& HighlightPath(Service& service) {
  static const std::string path =
      "/kyn-highlights/v1/highlights/" + std::to_string(service.plugin().GetHighlight(1).value()->id);
  return path;
}

HostRequest PutRequest(const char* contentType, const void* body, std::size_t size) {
  Service& service = Service::Shared(1);
  HostRequest request =
      service.Request(HTTP_METHOD_PUT, HighlightPath(service).c_str(), "PutKynHighlightsV1HighlightsById");
  request.bodyContentType = contentType;
  request.body = static_cast<const std::uint8_t*>(body);
  request.bodyLength = static_cast<std::uint32_t>(size);
  return request;
}

void PutBody(benchmark::State& state, const char* contentType, const void* body, std::size_t size) {
  const HostRequest request = PutRequest(contentType, body, size);
  bool refused = true;
  const auto once = [&] { refused = !Service::Invoke(request).empty() && refused; };
  BenchSupport::Measure(state, once, "request");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  if (!refused) state.SkipWithError("the list was taken for a highlight");
}

// The PUT and its anchor in alternation, operation by operation.
template <class Anchor>
void PutBodyAlternating(benchmark::State& state, const char* contentType, const void* body,
                        std::size_t size, const Anchor& anchor) {
  const HostRequest request = PutRequest(contentType, body, size);
  const auto once = [&] { benchmark::DoNotOptimize(Service::Invoke(request)); };
  BenchSupport::MeasureAlternating(state, once, anchor);
}

void BM_PutMessagePackAlternating(benchmark::State& state) {
  const std::vector<std::uint8_t>& body = TheBodies().messagePack;
  PutBodyAlternating(state, "application/x-msgpack", body.data(), body.size(),
                     [&] { BenchSupport::UnpackMsgpack(body); });
}

void BM_PutYamlAlternating(benchmark::State& state) {
  const std::string& body = TheBodies().yaml;
  PutBodyAlternating(state, "application/x-yaml", body.data(), body.size(),
                     [&] { benchmark::DoNotOptimize(BenchSupport::LibyamlEventLoop(body)); });
}

void BM_PutJson(benchmark::State& state) {
  const std::string& body = TheBodies().json;
  PutBody(state, "application/json", body.data(), body.size());
}

void BM_PutMessagePack(benchmark::State& state) {
  const std::vector<std::uint8_t>& body = TheBodies().messagePack;
  PutBody(state, "application/x-msgpack", body.data(), body.size());
}

void BM_PutYaml(benchmark::State& state) {
  const std::string& body = TheBodies().yaml;
  PutBody(state, "application/x-yaml", body.data(), body.size());
}

template <class Once>
void RunAnchor(benchmark::State& state, std::size_t size, const Once& once) {
  BenchSupport::Measure(state, once, "request");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_RapidJsonDocument(benchmark::State& state) {
  const std::string& body = TheBodies().json;
  RunAnchor(state, body.size(), [&] {
    if (!BenchSupport::ParseRapidJsonDocument(body)) state.SkipWithError("parse failed");
  });
}

void BM_MsgpackUnpack(benchmark::State& state) {
  const std::vector<std::uint8_t>& body = TheBodies().messagePack;
  RunAnchor(state, body.size(), [&] { BenchSupport::UnpackMsgpack(body); });
}

void BM_LibyamlEvents(benchmark::State& state) {
  const std::string& body = TheBodies().yaml;
  RunAnchor(state, body.size(), [&] {
    if (!BenchSupport::LibyamlEventLoop(body)) state.SkipWithError("libyaml failed");
  });
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
double StatusKilobytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1));
  }
  return 0;
}

void BM_PutSixtyMegabytesOfNumbers(benchmark::State& state) {
  Service& service = Service::Shared(1);
  std::string body = "[";
  for (std::size_t i = 0; body.size() < 60'000'000; ++i) body += i % 10 == 9 ? "9,\n" : "1,";
  body += "1]";
  HostRequest request =
      service.Request(HTTP_METHOD_PUT, HighlightPath(service).c_str(), "PutKynHighlightsV1HighlightsById");
  request.bodyContentType = "application/json";
  request.body = reinterpret_cast<const std::uint8_t*>(body.data());
  request.bodyLength = static_cast<std::uint32_t>(body.size());
  std::string error;
  double peak = 0;
  for (auto _ : state) {
    const double before = StatusKilobytes("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts anew
    error = Service::Invoke(request);
    peak = (StatusKilobytes("VmHWM") - before) / 1024;
  }
  state.counters["peakMB"] = peak;
  std::printf("60 MB body of numbers: %s\n", error.empty() ? "accepted" : error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const auto microseconds = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond); };
  const auto alternating = BenchSupport::AlternatingArgs();
  const auto once = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Iterations(1);
  };
  return BenchSupport::RunBenchmarks(
      argc, argv,
      {{"BM_PutSixtyMegabytesOfNumbers", BM_PutSixtyMegabytesOfNumbers, once, false},
       {"BM_PutJson", BM_PutJson, microseconds},
       {"BM_RapidJsonDocument", BM_RapidJsonDocument, microseconds},
       {"BM_PutMessagePack", BM_PutMessagePack, microseconds},
       {"BM_MsgpackUnpack", BM_MsgpackUnpack, microseconds},
       {"BM_PutYaml", BM_PutYaml, microseconds},
       {"BM_LibyamlEvents", BM_LibyamlEvents, microseconds},
       {"BM_PutMessagePackAlternating", BM_PutMessagePackAlternating, alternating},
       {"BM_PutYamlAlternating", BM_PutYamlAlternating, alternating}},
      {{"BM_PutJson/{heap}", "BM_RapidJsonDocument/{heap}", 1.0},
       {"BM_PutMessagePack/{heap}", "BM_MsgpackUnpack/{heap}", 1.5,
        "BM_PutMessagePackAlternating/{heap}"},
       {"BM_PutYaml/{heap}", "BM_LibyamlEvents/{heap}", 1.1, "BM_PutYamlAlternating/{heap}"}});
}
