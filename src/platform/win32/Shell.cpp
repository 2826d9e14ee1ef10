// Windows implementation of the reveal: the shell's folder view.
#include "platform/Shell.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <string>

#include "platform/win32/WideText.h"

namespace Corvan::Platform {
namespace {

// Null: the shell's own SHOpenFolderAndSelectItems.
std::atomic<ShowItemRequest> gShowItemRequest{nullptr};

RevealOutcome RevealWithComReady(const std::string& path) {
  PIDLIST_ABSOLUTE item = ILCreateFromPathW(Wide(path).c_str());
  if (item == nullptr) return {RevealStatus::NotFound, 0};
  const ShowItemRequest request = gShowItemRequest.load();
  const HRESULT result = request != nullptr ? static_cast<HRESULT>(request(path))
                                            : SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
  ILFree(item);
  if (FAILED(result)) return {RevealStatus::OpenFailed, static_cast<std::int32_t>(result)};
  return {RevealStatus::Shown, 0};
}

}  // namespace

const bool kShellUsesBackslashes = true;

RevealOutcome RevealInFileBrowser(const std::string& path) {
  // The shell parses an empty path as the desktop itself.
  if (path.empty()) return {RevealStatus::NotFound, 0};
  // S_FALSE means COM was already initialised on this thread in the same
  // model; it still takes one CoUninitialize. Any other failure leaves COM
  // as it was.
  const HRESULT initialised = CoInitialize(nullptr);
  const RevealOutcome outcome = RevealWithComReady(path);
  if (initialised == S_OK || initialised == S_FALSE) CoUninitialize();
  return outcome;
}

ShowItemRequest SetShowItemRequest(ShowItemRequest request) {
  return gShowItemRequest.exchange(request);
}

}  // namespace Corvan::Platform
