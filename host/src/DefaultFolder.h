// DefaultFolder: which highlights folder the host starts with, so that a
// fresh machine shows something without any option.
//
// Order: the --folder option; else the folder saved in the settings file;
// else the game's own default, $HOME/Documents/Realm of Kynmoor/Highlights,
// when it exists and holds a ".webm" file; else the demo folder
// $XDG_DATA_HOME/kyn-host/demo-highlights (~/.local/share when unset),
// created when missing and filled by PopulateDemoFolder.
#pragma once

#include <optional>
#include <string>

namespace Corvan::Host {

struct FolderChoice {
  std::string folder;
  // Where it came from, for the start-up line ("--folder", "saved setting",
  // "game default", "demo folder").
  std::string origin;
  // Set when the demo folder could not be created.
  std::string error;
};

// The game's default folder under the user's Documents, "" without $HOME.
[[nodiscard]] std::string GameDefaultFolder();

// Chooses the folder as described above.
[[nodiscard]] FolderChoice ChooseFolder(const std::optional<std::string>& option,
                                        const std::optional<std::string>& saved);

// Fills a new demo folder with sample highlights that play: short clips
// encoded at once (VP8 and Opus, 640 by 360), dated hours to days back.
// Returns the error text, "" on success.
[[nodiscard]] std::string PopulateDemoFolder(const std::string& folder);

}  // namespace Corvan::Host
