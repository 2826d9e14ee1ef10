#include "DefaultFolder.h"

#include <cstdlib>
#include <filesystem>

#include "SettingsFile.h"

namespace Corvan::Host {

namespace {

bool HoldsHighlights(const std::string& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".webm") return true;
  }
  return false;
}

}  // namespace

std::string GameDefaultFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return "";
  return std::string(home) + "/Documents/Realm of Kynmoor/Highlights";
}

FolderChoice ChooseFolder(const std::optional<std::string>& option,
                          const std::optional<std::string>& saved) {
  if (option) return {*option, "--folder", ""};
  if (saved && !saved->empty()) return {*saved, "saved setting", ""};
  const std::string game = GameDefaultFolder();
  if (!game.empty() && HoldsHighlights(game)) return {game, "game default", ""};
  const std::string data = DataDirectory();
  if (data.empty()) return {"", "demo folder", "no data directory: HOME is not set"};
  FolderChoice choice{data + "/demo-highlights", "demo folder", ""};
  std::error_code error;
  if (std::filesystem::is_directory(choice.folder, error)) return choice;
  std::filesystem::create_directories(choice.folder, error);
  if (error) {
    choice.error = "demo folder " + choice.folder + " not created: " + error.message();
    return choice;
  }
  choice.error = PopulateDemoFolder(choice.folder);
  return choice;
}

std::string PopulateDemoFolder(const std::string&) { return ""; }

}  // namespace Corvan::Host
