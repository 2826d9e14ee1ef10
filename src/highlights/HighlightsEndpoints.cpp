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
constexpr char kNoSuchId[] =
    "Highlight ID %d does not exist. NOTE: Get all valid IDs by hitting "
    "/kyn-highlights/v1/highlights";
constexpr std::uint32_t kUnavailable = 503;
// A failed file operation; its message is the system's text as it stands.
constexpr std::uint32_t kFileOperationFailed = 550;

// The answer of the rename route to each outcome of the file manager.
Reply<Api::Highlight> RenameAnswer(HighlightEditResult result, std::uint64_t id) {
  const std::int32_t shown = ShownHighlightId(id);
  switch (result.outcome) {
    case HighlightEditOutcome::Done: return std::move(result.highlight);
    case HighlightEditOutcome::NoSuchId: return ErrorReply(409, kNoSuchId, shown);
    case HighlightEditOutcome::EmptyName:
      return ErrorReply(400, "Bad Request: Non-empty name is required");
    case HighlightEditOutcome::InvalidName:
      return ErrorReply(400, "Bad Request: Name contains invalid characters");
    case HighlightEditOutcome::NameTooLong: return ErrorReply(400, "Bad Request: Name is too long");
    case HighlightEditOutcome::FileOperationFailed:
      return ErrorReply(kFileOperationFailed, result.error);
    case HighlightEditOutcome::RecordGone:
      return ErrorReply(500, "Could not update highlight ID %d", shown);
    case HighlightEditOutcome::RecordNotReadBack: return NotFound(kNoHighlightWithId);
  }
  return InternalServerError();
}

// The answer of the delete route to each outcome of the file manager.
Reply<Api::Highlight> DeleteAnswer(HighlightEditResult result, std::uint64_t id) {
  const std::int32_t shown = ShownHighlightId(id);
  switch (result.outcome) {
    case HighlightEditOutcome::Done: return std::move(result.highlight);
    case HighlightEditOutcome::NoSuchId: return NotFound(kNoSuchId, shown);
    case HighlightEditOutcome::FileOperationFailed:
      return ErrorReply(kFileOperationFailed, result.error);
    case HighlightEditOutcome::RecordGone:
      return ErrorReply(500, "Could not delete highlight ID %d", shown);
    case HighlightEditOutcome::EmptyName:
    case HighlightEditOutcome::InvalidName:
    case HighlightEditOutcome::NameTooLong:
    case HighlightEditOutcome::RecordNotReadBack: break;  // a delete has no name to refuse
  }
  return InternalServerError();
}

}  // namespace

template <class T, class Body>
Reply<T> HighlightsPlugin::Guarded(Gate gate, Body&& body) {
  std::lock_guard lock(mutex_);
  if (!Initialized()) return ErrorReply(kUnavailable, kNotInitialized);
  if (gate == Gate::WhileEnabled && !config_.isHighlightsEnabled) {
    return ErrorReply(kUnavailable, kNotEnabled);
  }
  return body();
}

Reply<std::vector<Api::Highlight>> HighlightsPlugin::GetHighlights() {
  return Guarded<std::vector<Api::Highlight>>(Gate::Open, [&] { return ListAnswer(); });
}

Reply<std::vector<Api::Highlight>> HighlightsPlugin::PostHighlights() {
  return Guarded<std::vector<Api::Highlight>>(Gate::WhileEnabled, [&] {
    fileManager_->Scan(highlightsFolderPath_);
    return ListAnswer();
  });
}

Reply<Api::Highlight> HighlightsPlugin::GetHighlight(std::uint64_t id) {
  return Guarded<Api::Highlight>(Gate::Open, [&]() -> Reply<Api::Highlight> {
    std::optional<Api::Highlight> found = list_->GetHighlight(id);
    if (!found) return NotFound(kNoHighlightWithId);
    return *std::move(found);
  });
}

Reply<Api::Highlight> HighlightsPlugin::PutHighlight(std::uint64_t id,
                                                     const Api::Highlight& highlight) {
  return Guarded<Api::Highlight>(Gate::WhileEnabled, [&] {
    return RenameAnswer(fileManager_->PutHighlight(id, highlight), id);
  });
}

Reply<Api::Highlight> HighlightsPlugin::DeleteHighlight(std::uint64_t id) {
  return Guarded<Api::Highlight>(
      Gate::WhileEnabled, [&] { return DeleteAnswer(fileManager_->DeleteHighlight(id), id); });
}

Reply<std::string> HighlightsPlugin::GetHighlightsFolderPath() {
  return Guarded<std::string>(Gate::Open, [&] { return highlightsFolderPath_; });
}

Reply<std::string> HighlightsPlugin::GetDefaultHighlightsFolderPath() {
  return Guarded<std::string>(Gate::Open,
                              [] { return Highlights::GetDefaultHighlightsFolderPath(); });
}

Reply<Api::HighlightsConfig> HighlightsPlugin::GetConfig() {
  return Guarded<Api::HighlightsConfig>(Gate::Open, [&] { return config_; });
}

EmptyReply HighlightsPlugin::PostFileBrowser(std::uint64_t highlightId) {
  return Guarded<void>(Gate::WhileEnabled, [&]() -> EmptyReply {
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
  });
}

}  // namespace Corvan::Client::Highlights
