#include "DefaultFolder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "SettingsFile.h"
#include "media/WebmWriter.h"

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
  // A few highlights as the game writes them, a day apart, of several
  // lengths; their frames are placeholders, so they list but do not play.
  struct Sample {
    const char* name;
    int clusters;
  };
  static constexpr Sample kSamples[] = {
      {"First victory", 4}, {"Dragon at dusk", 12}, {"Clutch save", 8}, {"Team wipe", 20}};
  const auto now = std::filesystem::file_time_type::clock::now();
  int age = 0;
  for (const Sample& sample : kSamples) {
    Corvan::Media::WebmOptions options;
    options.clusterCount = sample.clusters;
    options.framesPerCluster = 30;
    options.videoFrameBytes = 2048;
    const std::string path = folder + "/" + sample.name + ".webm";
    if (!Corvan::Media::WriteWebmFile(path, options)) return "demo highlight " + path + " not written";
    std::error_code error;
    std::filesystem::last_write_time(path, now - std::chrono::hours(24 * ++age), error);
  }
  return "";
}

}  // namespace Corvan::Host
