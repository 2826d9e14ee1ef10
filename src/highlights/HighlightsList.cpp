#include "highlights/HighlightsList.h"

#include <algorithm>
#include <utility>

#include "highlights/filestore/PathUtilities.h"

namespace Corvan::Client::Highlights {

namespace {

// Bytes a url keeps as they are.
bool IsUnreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

bool NewerFirst(const Api::Highlight& a, const Api::Highlight& b) {
  if (a.mtimeMsUtc != b.mtimeMsUtc) return a.mtimeMsUtc > b.mtimeMsUtc;
  // std::string compares its bytes as unsigned characters.
  return a.name < b.name;
}

// The first record with that id, walking from the front.
template <class Records>
auto FindRecord(Records& records, std::uint64_t id) {
  return std::find_if(records.begin(), records.end(),
                      [id](const Api::Highlight& record) { return record.id == id; });
}

}  // namespace

std::string MakeHighlightUrl(std::string_view filepath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string_view name = filepath.substr(FileNameStart(filepath));
  static constexpr std::string_view kAssets = "/kyn-highlights-videos/assets/";
  // Written through a pointer into room for the longest escape, then cut to
  // what was written: one allocation and no size check per byte.
  std::string url(kAssets.size() + name.size() * 3, '\0');
  char* out = url.data();
  out = std::copy(kAssets.begin(), kAssets.end(), out);
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      *out++ = c;
    } else {
      *out++ = '%';
      *out++ = kHex[byte >> 4];
      *out++ = kHex[byte & 0x0F];
    }
  }
  url.resize(static_cast<std::size_t>(out - url.data()));
  return url;
}

HighlightsList::HighlightsList(HighlightsChanged onChange, HighlightUrlBuilder urlBuilder,
                               HighlightsConverter converter)
    : onChange_(std::move(onChange)),
      urlBuilder_(std::move(urlBuilder)),
      converter_(std::move(converter)) {}

void HighlightsList::Changed() {
  snapshotStale_ = true;
  onChange_(records_);
}

const SharedFlatValue& HighlightsList::Snapshot() {
  if (snapshotStale_) {
    // The old value lives on in the responses that still hold it.
    snapshot_ = converter_ ? converter_(records_) : SharedFlatValue();
    snapshotStale_ = false;
  }
  return snapshot_;
}

void HighlightsList::SetHighlights(std::vector<Api::Highlight> records) {
  records_.reserve(records_.size() + records.size());
  for (Api::Highlight& record : records) {
    record.id = nextId_++;
    record.url = urlBuilder_(record.filepath);
    records_.push_back(std::move(record));
  }
  std::sort(records_.begin(), records_.end(), NewerFirst);
  Changed();
}

std::optional<Api::Highlight> HighlightsList::GetHighlight(std::uint64_t id) const {
  auto found = FindRecord(records_, id);
  if (found == records_.end()) return std::nullopt;
  return *found;
}

bool HighlightsList::UpdateHighlight(std::uint64_t id, const Api::Highlight& record) {
  auto found = FindRecord(records_, id);
  if (found == records_.end()) return false;
  found->name = record.name;
  found->filepath = record.filepath;
  found->url = urlBuilder_(found->filepath);
  Changed();
  return true;
}

bool HighlightsList::RemoveHighlight(std::uint64_t id) {
  auto found = FindRecord(records_, id);
  if (found == records_.end()) return false;
  records_.erase(found);
  Changed();
  return true;
}

}  // namespace Corvan::Client::Highlights
