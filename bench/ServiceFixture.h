// A started highlights plugin over a folder of highlight files, as a host
// drives it through the invoke entries, for the service and request-body
// benchmarks.
//
//   BenchSupport::Service& service = BenchSupport::Service::Shared(1000);
//   HostRequest request = service.Request(HTTP_METHOD_GET, "/kyn-highlights/v1/highlights",
//                                         "GetKynHighlightsV1Highlights");
//   service.Invoke(request);   // response written and released
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"
#include "highlights/HighlightsPlugin.h"
#include "media/WebmWriter.h"
#include "plugin/PluginEntry.h"
#include "routing/InvokeEntry.h"
#include "support/ScriptedHost.h"
#include "support/TempDirectory.h"

namespace BenchSupport {

// Clips of about 256 KiB: two one-second clusters of 30 video and 30 audio
// frames.
inline Corvan::Media::WebmOptions QuarterMebibyteClip() {
  Corvan::Media::WebmOptions options;
  options.clusterCount = 2;
  options.framesPerCluster = 30;
  options.videoFrameBytes = 4200;
  options.audioFrameBytes = 96;
  return options;
}

class Service {
 public:
  explicit Service(int files) {
    const std::string bytes = Corvan::Media::BuildWebm(QuarterMebibyteClip()).bytes;
    fileBytes_ = bytes.size();
    for (int i = 0; i < files; ++i) {
      Corvan::Media::WriteFileBytes(folder_.PathOf("Kynmoor Highlight " + std::to_string(i) + ".webm"),
                                    bytes);
    }
    host_.RecordEventPayloads(false);
    Corvan::BindingProperty enabled;
    enabled.Field("Enabled").SetBool(true);
    host_.Answer("/kyn-platform-config/v1/namespaces/Highlights",
                 TestSupport::ScriptedAnswer::Value(std::move(enabled)));
    Corvan::BindingProperty settings;
    settings.Field("data").Field("highlights-folder-path").SetString(folder_.path());
    host_.Answer("/kyn-settings/v1/local/kyn-replays",
                 TestSupport::ScriptedAnswer::Value(std::move(settings)));
    block_.apiVersionMajor = 18;
    Corvan::LoadPlugin(&block_, "kyn-highlights", &Corvan::Client::Highlights::HighlightsPlugin::Create);
    link_ = HostLink{host_.api(), 1};
    block_.callbacks->initialize(block_.context, &link_);
  }
  ~Service() { block_.callbacks->shutdown(block_.context); }
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // The service of a benchmark program; one at a time, made on first use.
  static Service& Shared(int files) {
    static std::unique_ptr<Service> service;
    if (!service || service->files_ != files) {
      service.reset();
      service = std::make_unique<Service>(files);
      service->files_ = files;
    }
    return *service;
  }

  Corvan::Client::Highlights::HighlightsPlugin& plugin() {
    return *static_cast<Corvan::Client::Highlights::HighlightsPlugin*>(block_.context);
  }
  const std::string& folder() const { return folder_.path(); }
  std::size_t fileBytes() const { return fileBytes_; }

  // A request of one of the plugin's routes, through its descriptor.
  HostRequest Request(std::uint32_t method, const char* path, const char* function) const {
    HostRequest request{};
    request.method = method;
    request.path = path;
    for (std::uint32_t i = 0; i < block_.apiDescription->functionCount; ++i) {
      const FunctionDescriptor& descriptor = block_.apiDescription->functions[i];
      if (std::strcmp(descriptor.function.name, function) == 0) {
        request.functionContext = descriptor.function.functionContext;
      }
    }
    return request;
  }

  // The records of the list, as GET answers them.
  std::vector<Corvan::Client::Highlights::Api::Highlight> Records() {
    const HostRequest request = Request(HTTP_METHOD_GET, "/kyn-highlights/v1/highlights",
                                        "GetKynHighlightsV1Highlights");
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    Corvan::InvokeFunction(&response, &request);
    Corvan::BindingProperty tree;
    FlatResult report{};
    std::vector<Corvan::Client::Highlights::Api::Highlight> records;
    Corvan::BindingResult converted;
    if (Corvan::FromFlatProperty(Corvan::ResultValue(response.result), tree, report, "list")) {
      static_cast<void>(Corvan::AssignNative(converted, records, tree, "list", &plugin().registry()));
    }
    Corvan::ReleaseFlatResult(report);
    response.release(&response);
    return records;
  }

  // Invokes and releases; the error text of a failed call, or "".
  static std::string Invoke(const HostRequest& request) {
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    Corvan::InvokeFunction(&response, &request);
    std::string error =
        response.result.hasError != 0 && response.result.error != nullptr ? response.result.error : "";
    if (response.result.hasError != 0 && error.empty()) error = "(no text)";
    response.release(&response);
    return error;
  }

 private:
  Corvan::Testing::TempDirectory folder_;
  TestSupport::ScriptedHost host_;
  PluginLoadBlock block_{};
  HostLink link_{};
  std::size_t fileBytes_ = 0;
  int files_ = 0;
};

}  // namespace BenchSupport
