#include "DefaultFolder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "SettingsFile.h"
#include "HostLog.h"
#include "abi/HostAbi.h"
#include "media/WebmWriter.h"
#include "media/encoding/DemoClips.h"

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
  if (std::filesystem::is_directory(choice.folder, error) && HoldsHighlights(choice.folder)) return choice;
  std::filesystem::create_directories(choice.folder, error);
  if (error) {
    choice.error = "demo folder " + choice.folder + " not created: " + error.message();
    return choice;
  }
  choice.error = PopulateDemoFolder(choice.folder);
  return choice;
}

std::string PopulateDemoFolder(const std::string& folder) {
  // A few highlights as the game writes them, recorded hours to days ago,
  // each its own short scene with sound, encoded now.
  const auto started = std::chrono::steady_clock::now();
  const auto now = std::filesystem::file_time_type::clock::now();
  for (const Corvan::Media::EncodedClip& clip : Corvan::Media::EncodeDemoClips()) {
    const std::string path = folder + "/" + clip.name + ".webm";
    if (!clip.error.empty()) return "demo highlight " + path + " not encoded: " + clip.error;
    if (!Corvan::Media::WriteFileBytes(path, clip.bytes)) return "demo highlight " + path + " not written";
    std::error_code error;
    std::filesystem::last_write_time(path, now - std::chrono::hours(clip.hoursAgo), error);
  }
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  HostLog(LOG_LEVEL_OKAY, "demo folder %s created in %lld ms", folder.c_str(),
          static_cast<long long>(took.count()));
  return "";
}

}  // namespace Corvan::Host
