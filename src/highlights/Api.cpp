#include "highlights/Api.h"

#include <utility>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"
#include "logging/Diagnostics.h"

namespace Corvan::Client::Highlights::Api {

Highlight::Highlight(std::string name, std::string filepath, std::uint64_t mtimeMsUtc,
                     std::uint64_t fileSizeBytes)
    : name(std::move(name)),
      filepath(std::move(filepath)),
      mtimeMsUtc(mtimeMsUtc),
      mtimeIso8601(FormatIso8601Utc(mtimeMsUtc)),
      fileSizeBytes(fileSizeBytes) {}

void RegisterApiRecords(BindingRegistry& registry) {
  registry.RegisterType<Highlight>("Highlight")
      .AddField("id", "", &Highlight::id)
      .AddField("name", "", &Highlight::name, kFieldRequired)
      .AddField("filepath", "", &Highlight::filepath)
      .AddField("url", "", &Highlight::url)
      .AddField("mtimeMsUtc", "", &Highlight::mtimeMsUtc)
      .AddField("mtimeIso8601", "", &Highlight::mtimeIso8601)
      .AddField("fileSizeBytes", "", &Highlight::fileSizeBytes);
  registry.RegisterType<HighlightsDynamicConfig>("HighlightsDynamicConfig")
      .AddField("Enabled", "", &HighlightsDynamicConfig::Enabled);
  registry.RegisterType<HighlightsConfig>("HighlightsConfig")
      .AddField("isHighlightsEnabled", "", &HighlightsConfig::isHighlightsEnabled)
      .AddField("invalidHighlightNameCharacters", "",
                &HighlightsConfig::invalidHighlightNameCharacters);
  registry.RegisterType<HighlightsSettingsData>("HighlightsSettingsData")
      .AddField("highlights-folder-path", "", &HighlightsSettingsData::highlightsFolderPath);
  registry.RegisterType<SettingsResource>("HighlightsSettingsResource")
      .AddField("data", "", &SettingsResource::data);
}

}  // namespace Corvan::Client::Highlights::Api
