// ListedFiles: the files the plugin lists at present, by the "filepath" of
// its highlight records, so that the assets route serves those and nothing
// else of the folder (a notes file next to the videos stays private).
//
// The list comes from the plugin's own list events, which carry the whole
// list, and, when no event has told it since the last change, from a call of
// the plugin's GET list (the fetcher). Anything that may change what the
// plugin lists without a list event (another event delivered to the plugin,
// a request that is not a read) marks the set unknown; the next asset
// request then fetches it again.
//
//   ListedFiles listed([&] { return FetchListFromPlugin(); });
//   bus.AddListener([&](const PublishedEvent& e) { listed.OnEvent(e); });
//   switch (listed.Check("clip.webm", "/videos/clip.webm")) { ... }
//   listed.CheckFetching("clip.webm", "/videos/clip.webm");   // on a worker
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "EventBus.h"
#include "PluginFunctions.h"

namespace Corvan::Host {

// The path of the plugin's list resource, whose events carry the list.
inline constexpr const char* kListPath = "/kyn-highlights/v1/highlights";

// The "filepath" of every record of a list value.
[[nodiscard]] std::vector<std::string> FilePathsOf(const BindingProperty& list);
[[nodiscard]] std::vector<std::string> FilePathsOf(const FlatProperty& list);

// The file paths of the plugin's GET list answer; none when the plugin has
// no such function or answers with an error.
[[nodiscard]] std::vector<std::string> FetchListedPaths(const PluginFunctions& functions);

class ListedFiles {
 public:
  enum class Answer { Listed, NotListed, Unknown };
  // Asks the plugin for its list: the file paths, nothing when it lists
  // none (an error answer, a disabled feature).
  using Fetcher = std::function<std::vector<std::string>()>;

  explicit ListedFiles(Fetcher fetch) : fetch_(std::move(fetch)) {}

  // Whether the file named `name` in the request, resolved to `realFile`,
  // is one of the listed files; Unknown when the set must be fetched first.
  [[nodiscard]] Answer Check(std::string_view name, const std::string& realFile) const;
  // The same, fetching the set first when it is unknown; blocks, so it runs
  // on a worker.
  [[nodiscard]] bool CheckFetching(std::string_view name, const std::string& realFile);

  // Takes the list from a list event; any other event marks the set unknown.
  void OnEvent(const PublishedEvent& event);
  // Marks the set unknown.
  void Invalidate();

 private:
  using PathsByName = std::unordered_map<std::string, std::vector<std::string>>;
  static PathsByName Index(const std::vector<std::string>& paths);
  static bool Holds(const PathsByName& index, std::string_view name, const std::string& realFile);
  Answer CheckLocked(std::string_view name, const std::string& realFile) const;

  Fetcher fetch_;
  mutable std::mutex lock_;
  // Only one fetch runs; the others wait for its result.
  std::mutex fetching_;
  // Bumped by every change, so that a fetch that started before one does
  // not install an older list over it.
  std::uint64_t generation_ = 0;
  bool known_ = false;
  PathsByName paths_;
};

}  // namespace Corvan::Host
