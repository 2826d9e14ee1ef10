// HighlightsList: the highlights every endpoint reads, newest first.
//
//   HighlightsList list(publish, MakeHighlightUrl);
//   list.SetHighlights(recordsOfTheScan);    // ids from 1, sorted, published
//   list.UpdateHighlight(2, renamed);        // keeps its place, published
//
// Each record entering the list gets the next id (never reused in the
// list's life) and the url of its file. After every change the whole list
// goes to the change callback, also when it is empty. The list has no lock:
// the plugin serialises its handlers.
//
// Snapshot: the list keeps its records converted to their flat form for the
// host, built by the converter it is given when first asked for after a
// change. GET of the list and the change events hand out that one value;
// it is shared by counting, so a response the host still holds stays valid
// after the list has changed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/FlatBlock.h"
#include "highlights/Api.h"

namespace Corvan::Client::Highlights {

using HighlightsChanged = std::function<void(const std::vector<Api::Highlight>&)>;
using HighlightUrlBuilder = std::function<std::string(const std::string& filepath)>;
// The flat form of the records, for the snapshot; an empty value when they
// cannot be converted.
using HighlightsConverter = std::function<SharedFlatValue(const std::vector<Api::Highlight>&)>;

// "/kyn-highlights-videos/assets/" and the percent-encoded file name of a
// path (the text after its last slash or backslash).
[[nodiscard]] std::string MakeHighlightUrl(std::string_view filepath);

class HighlightsList {
 public:
  HighlightsList(HighlightsChanged onChange, HighlightUrlBuilder urlBuilder,
                 HighlightsConverter converter = nullptr);

  // Numbers the records in the order given, adds them, sorts newest first
  // (equal times by name, byte-wise) and publishes.
  void SetHighlights(std::vector<Api::Highlight> records);
  // Forgets every record without publishing (a scan's first step).
  void ClearWithoutNotifying() {
    records_.clear();
    snapshotStale_ = true;
  }

  // A copy of the record with that id.
  [[nodiscard]] std::optional<Api::Highlight> GetHighlight(std::uint64_t id) const;
  // Gives the record with that id the name and file path of `record` (and
  // the url of that path), in place; false when there is none.
  [[nodiscard]] bool UpdateHighlight(std::uint64_t id, const Api::Highlight& record);
  // Removes the record with that id; false when there is none.
  [[nodiscard]] bool RemoveHighlight(std::uint64_t id);

  [[nodiscard]] const std::vector<Api::Highlight>& Records() const { return records_; }

  // The flat form of the current records (empty without a converter, or
  // when they cannot be converted); rebuilt only after a change.
  [[nodiscard]] const SharedFlatValue& Snapshot();

 private:
  // Marks the snapshot stale and calls the change callback.
  void Changed();

  HighlightsChanged onChange_;
  std::uint64_t nextId_ = 1;
  std::vector<Api::Highlight> records_;
  HighlightUrlBuilder urlBuilder_;
  HighlightsConverter converter_;
  SharedFlatValue snapshot_;
  bool snapshotStale_ = true;
};

}  // namespace Corvan::Client::Highlights
