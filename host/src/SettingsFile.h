// SettingsFile: the host's small JSON file of settings that outlive a run,
// {"highlights-folder-path": "/home/me/Videos/highlights"}, kept in
// $XDG_CONFIG_HOME/kyn-host/settings.json (~/.config when the variable is
// unset). Writes go to a temporary file first and replace the old file in
// one rename, so a crash never leaves half a file.
//
//   SavedSettings saved;
//   std::string error = LoadSettingsFile(SettingsFilePath(), saved);
//   if (!error.empty()) HostLog(LOG_LEVEL_WARN, "%s", error.c_str());
#pragma once

#include <optional>
#include <string>

namespace Corvan::Host {

struct SavedSettings {
  // Unset when the file holds none.
  std::optional<std::string> folder;
};

// The per-user directory of the host's files: $XDG_CONFIG_HOME/kyn-host
// (or $HOME/.config/kyn-host), "" when neither variable is set.
[[nodiscard]] std::string ConfigDirectory();
// The per-user data directory: $XDG_DATA_HOME/kyn-host (or
// $HOME/.local/share/kyn-host), "" when neither variable is set.
[[nodiscard]] std::string DataDirectory();

// Reads the file into `saved`; a missing file is no error. Returns the
// error text, "" on success.
[[nodiscard]] std::string LoadSettingsFile(const std::string& path, SavedSettings& saved);

// Writes the settings, creating the directory; returns the error text, ""
// on success.
[[nodiscard]] std::string SaveSettingsFile(const std::string& path, const SavedSettings& saved);

}  // namespace Corvan::Host
