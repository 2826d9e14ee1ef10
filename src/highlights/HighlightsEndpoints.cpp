// The nine routes of the highlights plugin. Each runs under the plugin's
// mutex; the changing ones answer 503 while highlights are disabled, all of
// them while the plugin has not started.
#include "highlights/HighlightsPlugin.h"
#include "highlights/filestore/ShowInFileBrowser.h"

namespace Corvan::Client::Highlights {

namespace {

constexpr char kNotInitialized[] = "Highlights not initialized.";
constexpr char kNotEnabled[] = "Highlights not enabled.";
constexpr char kNoHighlightWithId[] = "No highlight with specified ID";
constexpr char kHighlightNotFound[] = "Highlight not found";
constexpr std::uint32_t kUnavailable = 503;

}  // namespace

Reply<std::vector<Api::Highlight>> HighlightsPlugin::GetHighlights() {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  return list_->Records();
}

Reply<std::vector<Api::Highlight>> HighlightsPlugin::PostHighlights() {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  if (!config_.isHighlightsEnabled) return ErrorReply(kUnavailable, kNotEnabled);
  fileManager_->Scan(highlightsFolderPath_);
  return list_->Records();
}

Reply<Api::Highlight> HighlightsPlugin::GetHighlight(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  std::optional<Api::Highlight> found = list_->GetHighlight(id);
  if (!found) return NotFound(kNoHighlightWithId);
  return *std::move(found);
}

Reply<Api::Highlight> HighlightsPlugin::PutHighlight(std::uint64_t id,
                                                     const Api::Highlight& highlight) {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  if (!config_.isHighlightsEnabled) return ErrorReply(kUnavailable, kNotEnabled);
  return fileManager_->PutHighlight(id, highlight);
}

Reply<Api::Highlight> HighlightsPlugin::DeleteHighlight(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  if (!config_.isHighlightsEnabled) return ErrorReply(kUnavailable, kNotEnabled);
  return fileManager_->DeleteHighlight(id);
}

Reply<std::string> HighlightsPlugin::GetHighlightsFolderPath() {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  return highlightsFolderPath_;
}

Reply<std::string> HighlightsPlugin::GetDefaultHighlightsFolderPath() {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  return Highlights::GetDefaultHighlightsFolderPath();
}

Reply<Api::HighlightsConfig> HighlightsPlugin::GetConfig() {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  return config_;
}

EmptyReply HighlightsPlugin::PostFileBrowser(std::uint64_t highlightId) {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  if (!config_.isHighlightsEnabled) return ErrorReply(kUnavailable, kNotEnabled);
  std::optional<Api::Highlight> found = list_->GetHighlight(highlightId);
  if (!found) return NotFound(kHighlightNotFound);
  switch (ShowInFileBrowser(found->filepath)) {
    case ShowInFileBrowserResult::Succeeded: return EmptySuccess();
    case ShowInFileBrowserResult::FileNotFound: return NotFound(kHighlightNotFound);
    case ShowInFileBrowserResult::OpenFailed:
      return InternalServerError("Error occured while attempting to open file browser");
  }
  return InternalServerError(
      "Error: unhandled ShowInFileBrowserResult returned by ShowInFileBrowser");
}

}  // namespace Corvan::Client::Highlights
