#include "SettingsFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "JsonEncoding.h"
#include "binding/readers/JsonReader.h"

namespace Corvan::Host {

namespace {

// Every text this component reports.
namespace Msg {
constexpr const char* kRead = "settings file %s unreadable: ";
constexpr const char* kWrite = "settings file %s not written: ";
}  // namespace Msg

constexpr const char* kFolderKey = "highlights-folder-path";

std::string Message(const char* format, const std::string& path, const std::string& cause) {
  std::string text(format);
  text.replace(text.find("%s"), 2, path);
  return text + cause;
}

std::string UserDirectory(const char* variable, const char* fallback) {
  const char* base = std::getenv(variable);
  if (base != nullptr && base[0] == '/') return std::string(base) + "/kyn-host";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return "";
  return std::string(home) + fallback + "/kyn-host";
}

}  // namespace

std::string ConfigDirectory() { return UserDirectory("XDG_CONFIG_HOME", "/.config"); }

std::string DataDirectory() { return UserDirectory("XDG_DATA_HOME", "/.local/share"); }

std::string LoadSettingsFile(const std::string& path, SavedSettings& saved) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return errno == ENOENT ? "" : Message(Msg::kRead, path, std::strerror(errno));
  std::stringstream text;
  text << file.rdbuf();
  BindingResult parsed = ReadJson(text.str());
  if (!parsed.success) return Message(Msg::kRead, path, parsed.ErrorText());
  const BindingProperty* folder = parsed.property.kind() == PropertyKind::Structure
                                      ? parsed.property.FindField(kFolderKey)
                                      : nullptr;
  if (folder != nullptr && folder->kind() == PropertyKind::String) {
    saved.folder = std::string(folder->GetStringView());
  }
  return "";
}

std::string SaveSettingsFile(const std::string& path, const SavedSettings& saved) {
  std::error_code error;
  const std::filesystem::path target(path);
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) return Message(Msg::kWrite, path, error.message());
  BindingProperty value;
  value.MakeStructure();
  if (saved.folder) value.Field(kFolderKey).SetString(*saved.folder);
  const std::filesystem::path temporary = target.string() + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << PropertyToJson(value) << "\n";
    if (!file.flush()) return Message(Msg::kWrite, path, std::strerror(errno));
  }
  std::filesystem::rename(temporary, target, error);
  if (error) return Message(Msg::kWrite, path, error.message());
  return "";
}

}  // namespace Corvan::Host
