// Revealing a file in the desktop's file browser: the file's folder opened
// with the file selected.
//
// win32/ asks the Windows shell (ILCreateFromPathW, SHOpenFolderAndSelectItems)
// inside a balanced CoInitialize/CoUninitialize. posix/ checks that the path
// exists and asks the desktop's file manager over the session D-Bus
// (org.freedesktop.FileManager1.ShowItems with a file:// URI). On both the
// final request is replaceable, so tests need no desktop (and leave no file
// browser running behind them).
#pragma once

#include <cstdint>
#include <string>

namespace Corvan::Platform {

// Whether the shell wants "\" separators (the stored paths use "/").
extern const bool kShellUsesBackslashes;

enum class RevealStatus { Shown, NotFound, OpenFailed };

// The outcome of a reveal and the system's code of a failure to open
// (an HRESULT on Windows; on POSIX an errno value or the request's exit
// status).
struct RevealOutcome {
  RevealStatus status = RevealStatus::OpenFailed;
  std::int32_t code = 0;
};

// Opens the folder of a file with the file selected; NotFound when the
// path names nothing.
[[nodiscard]] RevealOutcome RevealInFileBrowser(const std::string& path);

// Asks the file browser to show one item; 0 when it did, else a code (an
// HRESULT on Windows). The item is the file:// URI of the absolute path on
// POSIX, and on Windows the path whose shell item was created.
using ShowItemRequest = std::int32_t (*)(const std::string& item);

// Replaces the request that RevealInFileBrowser makes (null restores the
// system's own: SHOpenFolderAndSelectItems, or the D-Bus call) and returns
// the one it replaces. Everything before the request still runs: the
// existence check, and on Windows COM and the shell item of the path.
ShowItemRequest SetShowItemRequest(ShowItemRequest request);

#if !defined(_WIN32)
// The file:// URI of an absolute path: every byte outside the unreserved
// characters and "/" percent-encoded.
std::string FileUriOf(const std::string& absolutePath);
#endif

}  // namespace Corvan::Platform
