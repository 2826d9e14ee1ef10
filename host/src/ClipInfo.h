// ClipInfo: what the viewer shows of the listed clips without loading any
// video: each clip's duration and picture size, read from its header by
// the plugin's own WebM parse (EBML header, Info and Tracks; the parse
// stops at the first Cluster, so a long clip costs no more than a short
// one), and whether the highlights folder exists at all.
//
// The catalog follows the plugin's published events: the list event names
// the listed files, the folder event the folder. What a header gave is
// kept by path, size and modification time, so a rescan of ten thousand
// clips reads no header again, and a file changed in place is read anew.
//
//   ClipCatalog catalog;
//   bus.AddListener([&](const PublishedEvent& e) { catalog.Note(e); });
//   server.Get(kClipsPath, [&](auto&, auto& res) {
//     res.set_content(catalog.ClipsJson(), "application/json");
//   });
//
// GET /kyn-host/v1/clips answers, for every listed clip by its path (null
// when the file cannot be read as a highlight now):
//
//   {"folder": "/videos", "folderExists": true,
//    "clips": {"/videos/a.webm": {"durationMs": 5000, "width": 640, "height": 360},
//              "/videos/b.webm": null}}
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "EventBus.h"

namespace Corvan::Client::Highlights {
class WebmVerifier;
}

namespace Corvan::Host {

inline constexpr const char* kClipsPath = "/kyn-host/v1/clips";

struct ClipFacts {
  bool readable = false;
  std::uint64_t durationMs = 0;
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

// Reads the facts from the file's header (not cached) with the verifier's
// parser.
[[nodiscard]] ClipFacts ReadClipFacts(const std::string& path,
                                      Client::Highlights::WebmVerifier& verifier);

// The body of GET /kyn-host/v1/clips, clips in the order given.
[[nodiscard]] std::string ClipsJson(const std::string& folder, bool folderExists,
                                    const std::vector<std::pair<std::string, ClipFacts>>& clips);

class ClipCatalog {
 public:
  // Takes the listed files from a list event and the folder from a folder
  // event of the plugin; other events are passed over. A bus listener.
  void Note(const PublishedEvent& event);

  // The facts of the file, from the cache while its size and modification
  // time are the same; a header to read is read with the verifier.
  [[nodiscard]] ClipFacts Facts(const std::string& path,
                                Client::Highlights::WebmVerifier& verifier);

  // The body of GET /kyn-host/v1/clips for the folder and files listed now.
  [[nodiscard]] std::string Json();

 private:
  struct Cached {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    ClipFacts facts;
  };

  std::mutex lock_;
  std::string folder_;
  std::vector<std::string> listed_;
  std::unordered_map<std::string, Cached> cache_;
};

}  // namespace Corvan::Host
