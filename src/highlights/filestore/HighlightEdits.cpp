// Renaming and deleting one highlight: the file first, then the list, so a
// failed file operation changes nothing the user sees.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "highlights/HighlightsList.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "highlights/filestore/PathUtilities.h"
#include "logging/Logger.h"

namespace Corvan::Client::Highlights {

namespace {

// The folder part of a file's path, its last separator included.
std::string_view FolderOf(std::string_view path) { return path.substr(0, FileNameStart(path)); }

HighlightEditResult Failed(HighlightEditOutcome outcome, std::string error = {}) {
  HighlightEditResult result;
  result.outcome = outcome;
  result.error = std::move(error);
  return result;
}

HighlightEditResult Done(Api::Highlight highlight) {
  HighlightEditResult result;
  result.highlight = std::move(highlight);
  return result;
}

}  // namespace

HighlightEditResult HighlightsFileManager::PutHighlight(std::uint64_t id,
                                                        const Api::Highlight& request) {
  const std::int32_t shown = ShownHighlightId(id);
  std::optional<Api::Highlight> found = list->GetHighlight(id);
  if (!found) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: PutHighlight: highlight ID does not exist: '%d'", shown);
    return Failed(HighlightEditOutcome::NoSuchId);
  }
  if (request.name.empty()) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains empty name");
    return Failed(HighlightEditOutcome::EmptyName);
  }
  // A separator, a drive colon or a stream colon in the name would move the
  // file out of the folder, where no scan finds it again.
  if (request.name.find_first_of(kInvalidHighlightNameCharacters) != std::string::npos) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains invalid name");
    return Failed(HighlightEditOutcome::InvalidName);
  }
  // The file stays in its own folder. The configured folder may have changed
  // since the list was read (while the feature was off, no scan follows),
  // and a rename must not move the file there, or with an empty folder into
  // the process's working directory.
  const JoinedPath joined = JoinPath(FolderOf(found->filepath), request.name);
  if (!joined.ok) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains too long name");
    return Failed(HighlightEditOutcome::NameTooLong);
  }
  const Api::Highlight renamed(request.name, joined.path + kHighlightFileExtension, 0, 0);
  const FileOperationResult moved = RenameFile(found->filepath, renamed.filepath);
  if (moved.failed) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: Rename failed: %s",
        moved.error.c_str());
    return Failed(HighlightEditOutcome::FileOperationFailed, moved.error);
  }
  if (!list->UpdateHighlight(id, renamed)) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: PutHighlight: could not update list item ID: '%d'", shown);
    return Failed(HighlightEditOutcome::RecordGone);
  }
  std::optional<Api::Highlight> updated = list->GetHighlight(id);
  if (!updated) return Failed(HighlightEditOutcome::RecordNotReadBack);
  return Done(*std::move(updated));
}

HighlightEditResult HighlightsFileManager::DeleteHighlight(std::uint64_t id) {
  const std::int32_t shown = ShownHighlightId(id);
  std::optional<Api::Highlight> found = list->GetHighlight(id);
  if (!found) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: DeleteHighlight: highlight ID does not exist: '%d'", shown);
    return Failed(HighlightEditOutcome::NoSuchId);
  }
  const FileOperationResult deleted = DeleteFile(found->filepath);
  if (deleted.failed) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: DeleteHighlight: Delete failed: %s",
        deleted.error.c_str());
    return Failed(HighlightEditOutcome::FileOperationFailed, deleted.error);
  }
  if (!list->RemoveHighlight(id)) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: DeleteHighlight: could not delete list item ID: '%d'", shown);
    return Failed(HighlightEditOutcome::RecordGone);
  }
  return Done(*std::move(found));
}

}  // namespace Corvan::Client::Highlights
