// The file operations of the highlights feature and its constants.
//
// HighlightsFileManager renames and deletes single highlight files for the
// endpoints, reporting a failure with the operating system's own message
// text (also logged here), and owns the folder scan that rebuilds the
// plugin's highlight list. One exists per plugin object; it points at the
// plugin's list and telemetry reporter without owning them.
//
//   const FileOperationResult result = HighlightsFileManager::RenameFile(from, to);
//   if (result.failed) answer(result.error);
//
// A source that includes <windows.h> must not include this header: the
// macro DeleteFile would rename the member.
#pragma once

#include <cstdint>
#include <string>

#include "highlights/Api.h"

namespace Corvan::Client::Highlights {

class HighlightsList;
class HighlightsTelemetry;

// The extension of a highlight file.
inline constexpr char kHighlightFileExtension[] = ".webm";
// The characters a highlight name must not contain.
inline constexpr char kInvalidHighlightNameCharacters[] = "<>:\"/\\|?*";

// The outcome of RenameFile and DeleteFile.
struct FileOperationResult {
  bool failed = false;
  std::string error;  // the system's message text on failure, else empty
};

// How a rename or delete of one highlight ended. The endpoints answer each
// outcome with their own status and message.
enum class HighlightEditOutcome {
  Done,                 // the file and the record changed
  NoSuchId,             // the list has no record with the ID
  EmptyName,            // rename: the requested name is empty
  InvalidName,          // rename: the name holds one of the refused characters
  NameTooLong,          // rename: the new path does not fit
  FileOperationFailed,  // the system refused the rename or delete (its text in error)
  RecordGone,           // the file changed, but the list lost the record meanwhile
  RecordNotReadBack,    // rename: the updated record could not be read back
};

// The outcome of PutHighlight and DeleteHighlight.
struct HighlightEditResult {
  HighlightEditOutcome outcome = HighlightEditOutcome::Done;
  std::string error;         // the system's text for FileOperationFailed
  Api::Highlight highlight;  // Done: the renamed record, or the deleted one as it was
};

class HighlightsFileManager {
 public:
  HighlightsFileManager(HighlightsList* list, HighlightsTelemetry* telemetry);

  // Renames a file; never replaces an existing file or moves to another
  // volume. A failure is logged and carries the system's text.
  [[nodiscard]] static FileOperationResult RenameFile(const std::string& from,
                                                      const std::string& to);

  // Deletes a file; a path with no file succeeds. A failure is logged and
  // carries the system's text.
  [[nodiscard]] static FileOperationResult DeleteFile(const std::string& path);

  // Rebuilds the list from the verified highlight files of a folder.
  void Scan(const std::string& folderPath);

  // Renames the file of a highlight to the requested name in the folder it
  // is in, then the record; each failure is logged.
  [[nodiscard]] HighlightEditResult PutHighlight(std::uint64_t id, const Api::Highlight& request);
  // Deletes the file of a highlight, then the record; each failure is
  // logged.
  [[nodiscard]] HighlightEditResult DeleteHighlight(std::uint64_t id);

  HighlightsList* list;            // not owned
  HighlightsTelemetry* telemetry;  // not owned
  bool sessionScanReported = false;
};

// An id as messages and log lines show it: its low 32 bits, signed.
inline std::int32_t ShownHighlightId(std::uint64_t id) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(id));
}

// The system's message text of an error code (ending in its line break);
// empty, after a log line, when the system has none.
std::string OsErrorNumToString(std::uint32_t code);

// The default highlights folder, computed once when the module loads;
// empty when the Documents folder is unknown.
std::string GetDefaultHighlightsFolderPath();

// The characters a highlight name must not contain, as text.
std::string GetInvalidHighlightNameCharacters();

// The highlights folder under a Documents folder; empty when documents is
// empty or the joined path would be too long.
std::string BuildDefaultHighlightsFolderPath(const std::string& documents);

}  // namespace Corvan::Client::Highlights
