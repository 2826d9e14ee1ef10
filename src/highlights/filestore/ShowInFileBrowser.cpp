#include "highlights/filestore/ShowInFileBrowser.h"

#include <algorithm>

#include "logging/Logger.h"
#include "platform/Shell.h"

namespace Corvan::Client::Highlights {
namespace {

constexpr char kRevealFailed[] =
    "kyn-highlights: Failed to reveal file in windows file explorer. file=`%s' hresult=%d";

}  // namespace

ShowInFileBrowserResult ShowInFileBrowser(const std::string& path) {
  const std::string shellPath =
      Platform::kShellUsesBackslashes ? ConvertSlashesToBackslashes(path) : path;
  const Platform::RevealOutcome outcome = Platform::RevealInFileBrowser(shellPath);
  switch (outcome.status) {
    case Platform::RevealStatus::Shown:
      return ShowInFileBrowserResult::Succeeded;
    case Platform::RevealStatus::NotFound:
      return ShowInFileBrowserResult::FileNotFound;
    case Platform::RevealStatus::OpenFailed:
      Log(kLogWarn, LogCategory::DBG, kRevealFailed, shellPath.c_str(),
          static_cast<int>(outcome.code));
      return ShowInFileBrowserResult::OpenFailed;
  }
  return ShowInFileBrowserResult::OpenFailed;
}

std::string ConvertSlashesToBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace Corvan::Client::Highlights
