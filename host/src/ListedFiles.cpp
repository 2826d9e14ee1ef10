#include "ListedFiles.h"

#include "AssetFiles.h"
#include "binding/FlatProperty.h"

namespace Corvan::Host {

namespace {

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view FlatText(const FlatProperty& value) {
  const bool text = value.kind == FLAT_STRING_BORROWED || value.kind == FLAT_STRING_OWNED;
  if (!text || value.value.string.data == nullptr) return {};
  return {value.value.string.data, value.value.string.length};
}

}  // namespace

std::vector<std::string> FilePathsOf(const BindingProperty& list) {
  std::vector<std::string> paths;
  if (list.kind() != PropertyKind::Collection) return paths;
  paths.reserve(list.Size());
  for (const BindingProperty& record : list.Elements()) {
    const BindingProperty* path =
        record.kind() == PropertyKind::Structure ? record.FindField("filepath") : nullptr;
    if (path != nullptr && path->kind() == PropertyKind::String) {
      paths.emplace_back(path->GetStringView());
    }
  }
  return paths;
}

std::vector<std::string> FilePathsOf(const FlatProperty& list) {
  std::vector<std::string> paths;
  if (list.kind != FLAT_ARRAY || list.value.array.items == nullptr) return paths;
  paths.reserve(list.value.array.count);
  for (std::uint32_t i = 0; i < list.value.array.count; ++i) {
    const FlatProperty& record = list.value.array.items[i];
    if (record.kind != FLAT_OBJECT || record.value.object.entries == nullptr) continue;
    for (std::uint32_t j = 0; j < record.value.object.count; ++j) {
      const FlatPropertyEntry& entry = record.value.object.entries[j];
      if (entry.key != nullptr && std::string_view(entry.key) == "filepath") {
        paths.emplace_back(FlatText(EntryValue(entry)));
        break;
      }
    }
  }
  return paths;
}

std::vector<std::string> FetchListedPaths(const PluginFunctions& functions) {
  std::vector<std::string> paths;
  const FunctionDescriptor* list = functions.Find(HTTP_METHOD_GET, "", kListPath);
  if (list == nullptr) return paths;
  OwnedRequest request;
  request.path = kListPath;
  functions.Call(*list, request, 0, [&](const HostResponse& answer) {
    if (answer.stream != nullptr && answer.streamRelease != nullptr) {
      answer.streamRelease(answer.stream);
    }
    if (HttpStatusOf(answer) == 200) paths = FilePathsOf(ResultValue(answer.result));
  });
  return paths;
}

ListedFiles::PathsByName ListedFiles::Index(const std::vector<std::string>& paths) {
  PathsByName index;
  index.reserve(paths.size());
  for (const std::string& path : paths) index[std::string(FileNameOf(path))].push_back(path);
  return index;
}

bool ListedFiles::Holds(const PathsByName& index, std::string_view name,
                        const std::string& realFile) {
  const auto found = index.find(std::string(name));
  if (found == index.end()) return false;
  // A record's path may spell the folder differently (a link, "//", a
  // trailing "/"): the real paths decide.
  for (const std::string& path : found->second) {
    if (RealPath(path) == realFile) return true;
  }
  return false;
}

ListedFiles::Answer ListedFiles::CheckLocked(std::string_view name,
                                             const std::string& realFile) const {
  if (!known_) return Answer::Unknown;
  return Holds(paths_, name, realFile) ? Answer::Listed : Answer::NotListed;
}

ListedFiles::Answer ListedFiles::Check(std::string_view name, const std::string& realFile) const {
  std::lock_guard<std::mutex> guard(lock_);
  return CheckLocked(name, realFile);
}

bool ListedFiles::CheckFetching(std::string_view name, const std::string& realFile) {
  std::lock_guard<std::mutex> single(fetching_);
  std::uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (known_) return CheckLocked(name, realFile) == Answer::Listed;
    generation = generation_;
  }
  PathsByName fetched = Index(fetch_());
  std::lock_guard<std::mutex> guard(lock_);
  if (generation == generation_) {
    paths_ = std::move(fetched);
    known_ = true;
    return CheckLocked(name, realFile) == Answer::Listed;
  }
  // Something changed while the plugin answered: what it answered may be
  // older than the change, so it is used for this request only.
  return Holds(fetched, name, realFile);
}

void ListedFiles::OnEvent(const PublishedEvent& event) {
  const BindingProperty& payload = event.payload;
  const BindingProperty* uri =
      payload.kind() == PropertyKind::Structure ? payload.FindField("uri") : nullptr;
  const BindingProperty* data = payload.kind() == PropertyKind::Structure ? payload.FindField("data") : nullptr;
  if (uri == nullptr || uri->GetStringView() != kListPath || data == nullptr) return Invalidate();
  PathsByName index = Index(FilePathsOf(*data));
  std::lock_guard<std::mutex> guard(lock_);
  paths_ = std::move(index);
  known_ = true;
  ++generation_;
}

void ListedFiles::Invalidate() {
  std::lock_guard<std::mutex> guard(lock_);
  known_ = false;
  ++generation_;
}

}  // namespace Corvan::Host
