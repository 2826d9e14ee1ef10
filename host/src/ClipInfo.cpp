#include "ClipInfo.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unordered_set>

#include "highlights/filestore/WebmVerification.h"

namespace Corvan::Host {

namespace {

constexpr std::string_view kListUri = "/kyn-highlights/v1/highlights";
constexpr std::string_view kFolderUri = "/kyn-highlights/v1/highlights-folder-path";

std::string_view TextField(const BindingProperty& value, const char* key) {
  const BindingProperty* field = value.FindField(key);
  return field != nullptr && field->kind() == PropertyKind::String ? field->GetStringView()
                                                                    : std::string_view();
}

}  // namespace

ClipFacts ReadClipFacts(const std::string& path, Client::Highlights::WebmVerifier& verifier) {
  const Client::Highlights::WebmVerification header = verifier.InspectFile(path);
  ClipFacts facts;
  facts.readable = header.passed();
  if (!facts.readable) return facts;
  facts.durationMs = static_cast<std::uint64_t>(std::llround(std::max(0.0, header.durationMs)));
  facts.width = header.width;
  facts.height = header.height;
  return facts;
}

std::string ClipsJson(const std::string& folder, bool folderExists,
                      const std::vector<std::pair<std::string, ClipFacts>>& clips) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  writer.Key("folder");
  writer.String(folder.data(), static_cast<rapidjson::SizeType>(folder.size()));
  writer.Key("folderExists");
  writer.Bool(folderExists);
  writer.Key("clips");
  writer.StartObject();
  for (const auto& [path, facts] : clips) {
    writer.Key(path.data(), static_cast<rapidjson::SizeType>(path.size()));
    if (!facts.readable) {
      writer.Null();
      continue;
    }
    writer.StartObject();
    writer.Key("durationMs");
    writer.Uint64(facts.durationMs);
    writer.Key("width");
    writer.Uint64(facts.width);
    writer.Key("height");
    writer.Uint64(facts.height);
    writer.EndObject();
  }
  writer.EndObject();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

void ClipCatalog::Note(const PublishedEvent& event) {
  const BindingProperty& payload = event.payload;
  if (payload.kind() != PropertyKind::Structure) return;
  const std::string_view uri = TextField(payload, "uri");
  const BindingProperty* data = payload.FindField("data");
  if (data == nullptr) return;
  if (uri == kFolderUri && data->kind() == PropertyKind::String) {
    std::lock_guard<std::mutex> guard(lock_);
    folder_ = std::string(data->GetStringView());
  } else if (uri == kListUri && data->kind() == PropertyKind::Collection) {
    std::vector<std::string> listed;
    listed.reserve(data->Size());
    for (const BindingProperty& record : data->Elements()) {
      listed.emplace_back(TextField(record, "filepath"));
    }
    std::lock_guard<std::mutex> guard(lock_);
    listed_ = std::move(listed);
  }
}

ClipFacts ClipCatalog::Facts(const std::string& path, Client::Highlights::WebmVerifier& verifier) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  const auto size = static_cast<std::uint64_t>(info.st_size);
  const std::int64_t modifiedNs =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = cache_.find(path);
    if (found != cache_.end() && found->second.size == size &&
        found->second.modifiedNs == modifiedNs) {
      return found->second.facts;
    }
  }
  // Read outside the lock: several requests may read headers at once.
  const ClipFacts facts = ReadClipFacts(path, verifier);
  std::lock_guard<std::mutex> guard(lock_);
  cache_[path] = {size, modifiedNs, facts};
  return facts;
}

std::string ClipCatalog::Json() {
  std::string folder;
  std::vector<std::string> listed;
  {
    std::lock_guard<std::mutex> guard(lock_);
    folder = folder_;
    listed = listed_;
  }
  std::vector<std::pair<std::string, ClipFacts>> clips;
  clips.reserve(listed.size());
  // One parser for every header this answer reads.
  Client::Highlights::WebmVerifier verifier;
  for (std::string& path : listed) {
    ClipFacts facts = Facts(path, verifier);
    clips.emplace_back(std::move(path), facts);
  }
  {
    // Files no longer listed leave the cache, so it never outgrows the list
    // by much.
    std::lock_guard<std::mutex> guard(lock_);
    if (cache_.size() > clips.size() + clips.size() / 4 + 16) {
      std::unordered_set<std::string_view> keep;
      for (const auto& clip : clips) keep.insert(clip.first);
      std::erase_if(cache_, [&](const auto& entry) { return !keep.contains(entry.first); });
    }
  }
  std::error_code error;
  const bool exists = !folder.empty() && std::filesystem::is_directory(folder, error);
  return ClipsJson(folder, exists, clips);
}

}  // namespace Corvan::Host
