// The bodies the reader benchmarks read: a highlight list of n records of
// seven fields with realistic values, as JSON text, MessagePack bytes and
// YAML text (the same data in each).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace BenchSupport {

struct HighlightRecord {
  std::uint64_t id;
  std::string name;
  std::string filepath;
  std::string url;
  std::uint64_t mtimeMsUtc;
  std::string mtimeIso8601;
  std::uint64_t fileSizeBytes;
};

inline std::vector<HighlightRecord> MakeHighlightRecords(int count) {
  std::vector<HighlightRecord> records;
  for (int i = 0; i < count; ++i) {
    const std::string name = "Kynmoor Highlight " + std::to_string(2026000 + i);
    const std::uint64_t mtime = 1765180000000ull + static_cast<std::uint64_t>(i) * 61237;
    char iso[32];
    std::snprintf(iso, sizeof iso, "2026-12-08T%02d:%02d:%02d.%03dZ", (i / 3600) % 24, (i / 60) % 60,
                  i % 60, (i * 37) % 1000);
    records.push_back({static_cast<std::uint64_t>(i + 1), name,
                       "C:/Users/Player One/Documents/Realm Of Kynmoor/Highlights/" + name + ".webm",
                       "/kyn-highlights-videos/assets/Kynmoor%20Highlight%20" + std::to_string(2026000 + i) + ".webm",
                       mtime, iso, 4000000ull + static_cast<std::uint64_t>(i) * 7919});
  }
  return records;
}

inline std::string HighlightListJson(int count) {
  std::string text = "[";
  for (const HighlightRecord& r : MakeHighlightRecords(count)) {
    if (text.size() > 1) text += ",";
    text += "{\"id\":" + std::to_string(r.id) + ",\"name\":\"" + r.name + "\",\"filepath\":\"" +
            r.filepath + "\",\"url\":\"" + r.url + "\",\"mtimeMsUtc\":" + std::to_string(r.mtimeMsUtc) +
            ",\"mtimeIso8601\":\"" + r.mtimeIso8601 + "\",\"fileSizeBytes\":" +
            std::to_string(r.fileSizeBytes) + "}";
  }
  return text + "]";
}

inline std::string HighlightListYaml(int count) {
  std::string text;
  for (const HighlightRecord& r : MakeHighlightRecords(count)) {
    text += "- id: " + std::to_string(r.id) + "\n  name: " + r.name + "\n  filepath: " + r.filepath +
            "\n  url: " + r.url + "\n  mtimeMsUtc: " + std::to_string(r.mtimeMsUtc) +
            "\n  mtimeIso8601: '" + r.mtimeIso8601 + "'\n  fileSizeBytes: " +
            std::to_string(r.fileSizeBytes) + "\n";
  }
  return text;
}

namespace Detail {
inline void PutBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}
inline void PutString(std::vector<std::uint8_t>& out, const std::string& text) {
  if (text.size() < 32) out.push_back(static_cast<std::uint8_t>(0xa0 | text.size()));
  else if (text.size() < 256) out.push_back(0xd9), PutBigEndian(out, text.size(), 1);
  else out.push_back(0xda), PutBigEndian(out, text.size(), 2);
  out.insert(out.end(), text.begin(), text.end());
}
inline void PutUnsigned(std::vector<std::uint8_t>& out, std::uint64_t value) {
  if (value < 128) out.push_back(static_cast<std::uint8_t>(value));
  else if (value <= 0xffffffffu) out.push_back(0xce), PutBigEndian(out, value, 4);
  else out.push_back(0xcf), PutBigEndian(out, value, 8);
}
}  // namespace Detail

inline std::vector<std::uint8_t> HighlightListMessagePack(int count) {
  using namespace Detail;
  std::vector<std::uint8_t> out;
  out.push_back(0xdd);
  PutBigEndian(out, static_cast<std::uint64_t>(count), 4);
  for (const HighlightRecord& r : MakeHighlightRecords(count)) {
    out.push_back(0x87);
    PutString(out, "id"), PutUnsigned(out, r.id);
    PutString(out, "name"), PutString(out, r.name);
    PutString(out, "filepath"), PutString(out, r.filepath);
    PutString(out, "url"), PutString(out, r.url);
    PutString(out, "mtimeMsUtc"), PutUnsigned(out, r.mtimeMsUtc);
    PutString(out, "mtimeIso8601"), PutString(out, r.mtimeIso8601);
    PutString(out, "fileSizeBytes"), PutUnsigned(out, r.fileSizeBytes);
  }
  return out;
}

}  // namespace BenchSupport
