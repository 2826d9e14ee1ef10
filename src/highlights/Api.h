// The records the highlights plugin exchanges with its clients and with the
// host's configuration and settings resources. The registered field names
// are the wire names ("highlights-folder-path", "Enabled" as they stand).
//
//   RegisterApiRecords(registry);
//   Highlight clip("clip", "/h/clip.webm", 1551443696789, 1048576);
//   // clip.mtimeIso8601 == "2019-03-01T12:34:56.789Z"
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/StaticType.h"

namespace Corvan {
class BindingRegistry;
}

namespace Corvan::Client::Highlights::Api {

// One highlight video. Only "name" is required on the wire.
struct Highlight {
  std::uint64_t id = 0;
  std::string name;
  std::string filepath;
  std::string url;
  std::uint64_t mtimeMsUtc = 0;
  std::string mtimeIso8601;
  std::uint64_t fileSizeBytes = 0;

  Highlight() = default;
  // A record built from a file's facts: no id nor url yet, the ISO 8601
  // text derived from the time.
  Highlight(std::string name, std::string filepath, std::uint64_t mtimeMsUtc,
            std::uint64_t fileSizeBytes);
};

// The dynamic configuration namespace "Highlights".
struct HighlightsDynamicConfig {
  bool Enabled = false;
};

// What clients read as the plugin's configuration.
struct HighlightsConfig {
  bool isHighlightsEnabled = false;
  std::string invalidHighlightNameCharacters;
};

// The data of the local settings resource "kyn-replays".
struct HighlightsSettingsData {
  std::string highlightsFolderPath;
};

// The whole settings resource: {"data": {"highlights-folder-path": text}}.
struct SettingsResource {
  HighlightsSettingsData data;
};

// Registers the five records, in the order clients see them described.
void RegisterApiRecords(BindingRegistry& registry);

}  // namespace Corvan::Client::Highlights::Api

KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::Highlight,
              "struct Corvan::Client::Highlights::Api::Highlight")
KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::HighlightsDynamicConfig,
              "struct Corvan::Client::Highlights::Api::HighlightsDynamicConfig")
KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::HighlightsConfig,
              "struct Corvan::Client::Highlights::Api::HighlightsConfig")
KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::HighlightsSettingsData,
              "struct Corvan::Client::Highlights::Api::HighlightsSettingsData")
KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::SettingsResource,
              "struct Corvan::Client::Highlights::Api::SettingsResource")
