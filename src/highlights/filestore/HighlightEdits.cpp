// Renaming and deleting one highlight: the file first, then the list, so a
// failed file operation changes nothing the user sees.
#include <optional>
#include <string>
#include <string_view>

#include "highlights/HighlightsList.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "highlights/filestore/PathUtilities.h"
#include "logging/Logger.h"

namespace Corvan::Client::Highlights {

namespace {

constexpr char kNoSuchId[] =
    "Highlight ID %d does not exist. NOTE: Get all valid IDs by hitting /kyn-highlights/v1/highlights";

// The folder part of a file's path, its last separator included.
std::string_view FolderOf(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator + 1);
}

// Messages show an id as its low 32 bits, signed.
std::int32_t ShownId(std::uint64_t id) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(id));
}

}  // namespace

Reply<Api::Highlight> HighlightsFileManager::PutHighlight(std::uint64_t id,
                                                          const Api::Highlight& request) {
  const std::int32_t shown = ShownId(id);
  std::optional<Api::Highlight> found = list->GetHighlight(id);
  if (!found) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: highlight ID does not exist: '%d'",
        shown);
    return ErrorReply(409, kNoSuchId, shown);
  }
  if (request.name.empty()) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains empty name");
    return ErrorReply(400, "Bad Request: Non-empty name is required");
  }
  // A separator, a drive colon or a stream colon in the name would move the
  // file out of the folder, where no scan finds it again.
  if (request.name.find_first_of(kInvalidHighlightNameCharacters) != std::string::npos) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains invalid name");
    return ErrorReply(400, "Bad Request: Name contains invalid characters");
  }
  // The file stays in its own folder. The configured folder may have changed
  // since the list was read (while the feature was off, no scan follows),
  // and a rename must not move the file there, or with an empty folder into
  // the process's working directory.
  const JoinedPath joined = JoinPath(FolderOf(found->filepath), request.name);
  if (!joined.ok) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: request contains too long name");
    return ErrorReply(400, "Bad Request: Name is too long");
  }
  const Api::Highlight renamed(request.name, joined.path + kHighlightFileExtension, 0, 0);
  const FileOperationResult moved = RenameFile(found->filepath, renamed.filepath);
  if (moved.failed) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: PutHighlight: Rename failed: %s",
        moved.error.c_str());
    return ErrorReply(550, moved.error);
  }
  if (!list->UpdateHighlight(id, renamed)) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: PutHighlight: could not update list item ID: '%d'", shown);
    return ErrorReply(500, "Could not update highlight ID %d", shown);
  }
  std::optional<Api::Highlight> updated = list->GetHighlight(id);
  if (!updated) return NotFound("No highlight with specified ID");
  return *std::move(updated);
}

Reply<Api::Highlight> HighlightsFileManager::DeleteHighlight(std::uint64_t id) {
  const std::int32_t shown = ShownId(id);
  std::optional<Api::Highlight> found = list->GetHighlight(id);
  if (!found) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: DeleteHighlight: highlight ID does not exist: '%d'", shown);
    return NotFound(kNoSuchId, shown);
  }
  const FileOperationResult deleted = DeleteFile(found->filepath);
  if (deleted.failed) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: DeleteHighlight: Delete failed: %s",
        deleted.error.c_str());
    return ErrorReply(550, deleted.error);
  }
  if (!list->RemoveHighlight(id)) {
    Log(kLogWarn, LogCategory::DBG,
        "kyn-highlights: DeleteHighlight: could not delete list item ID: '%d'", shown);
    return ErrorReply(500, "Could not delete highlight ID %d", shown);
  }
  return *std::move(found);
}

}  // namespace Corvan::Client::Highlights
