#include "highlights/filestore/HighlightsFileManager.h"

#include "highlights/filestore/PathUtilities.h"
#include "logging/Logger.h"
#include "platform/FileSystem.h"
#include "platform/FileUtilities.h"

namespace Corvan::Client::Highlights {
namespace {

// The messages of the file manager's operations.
constexpr char kRenameFailed[] =
    "kyn-highlights: HighlightsFileManager::RenameFile: Error renaming file from '%s' to '%s': "
    "%u: %s";
constexpr char kDeleteFailed[] =
    "kyn-highlights: HighlightsFileManager::DeleteFile: Error deleting file '%s': %u: %s";
constexpr char kNoErrorText[] = "kyn-highlights: OsErrorNumToString: FormatMessageW error %lu";

const std::string& DefaultHighlightsFolder() {
  static const std::string folder = BuildDefaultHighlightsFolderPath(GetDocumentsFolderPath());
  return folder;
}

}  // namespace

HighlightsFileManager::HighlightsFileManager(HighlightsList* list, HighlightsTelemetry* telemetry)
    : list(list), telemetry(telemetry) {}

FileOperationResult HighlightsFileManager::RenameFile(const std::string& from,
                                                      const std::string& to) {
  if (MoveFileUtf8(from, to, 0)) return {};
  const std::uint32_t code = LastFileErrorCode();
  FileOperationResult result{true, OsErrorNumToString(code)};
  Log(kLogWarn, LogCategory::DBG, kRenameFailed, from.c_str(), to.c_str(),
      static_cast<unsigned>(code), result.error.c_str());
  return result;
}

FileOperationResult HighlightsFileManager::DeleteFile(const std::string& path) {
  if (DeleteFileUtf8(path)) return {};
  const std::uint32_t code = LastFileErrorCode();
  FileOperationResult result{true, OsErrorNumToString(code)};
  Log(kLogWarn, LogCategory::DBG, kDeleteFailed, path.c_str(), static_cast<unsigned>(code),
      result.error.c_str());
  return result;
}

std::string OsErrorNumToString(std::uint32_t code) {
  std::string text;
  if (Platform::SystemErrorText(code, text)) return text;
  Log(kLogWarn, LogCategory::DBG, kNoErrorText, static_cast<unsigned long>(LastFileErrorCode()));
  return {};
}

std::string GetDefaultHighlightsFolderPath() { return DefaultHighlightsFolder(); }

std::string GetInvalidHighlightNameCharacters() { return kInvalidHighlightNameCharacters; }

std::string BuildDefaultHighlightsFolderPath(const std::string& documents) {
  if (documents.empty()) return {};
  JoinedPath joined = JoinPath(documents, "Realm of Kynmoor", "Highlights");
  return joined.ok ? std::move(joined.path) : std::string();
}

}  // namespace Corvan::Client::Highlights
