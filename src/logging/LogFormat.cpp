// Line formats, level names and the category table.
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "logging/Diagnostics.h"
#include "logging/Logger.h"
#include "logging/LoggerState.h"
#include "platform/Platform.h"

namespace Corvan {

namespace {

constexpr std::size_t kCategorySlots = 64;
constexpr std::size_t kPredefinedCategories = 8;

// Slots 0 to 7 are predefined; the others read "???" until registered.
constexpr std::array<std::array<char, 4>, kCategorySlots> InitialCategories() {
  std::array<std::array<char, 4>, kCategorySlots> table{};
  constexpr const char* kPredefined[kPredefinedCategories] = {"DBG", "GEN", "XTR", "PRF",
                                                              "MEM", "DSK", "NET", "TST"};
  for (std::size_t slot = 0; slot < kCategorySlots; ++slot) {
    const char* code = slot < kPredefinedCategories ? kPredefined[slot] : "???";
    table[slot] = {code[0], code[1], code[2], '\0'};
  }
  return table;
}

// Constant-initialised, so registrations from other modules' static
// initialisers find it ready.
constinit std::array<std::array<char, 4>, kCategorySlots> categoryCodes = InitialCategories();
constinit std::atomic<std::size_t> usedCategorySlots{kPredefinedCategories};

std::mutex& CategoryMutex() {
  static std::mutex mutex;
  return mutex;
}

// Appends text to a line, never past `limit` characters.
class LineWriter {
 public:
  LineWriter(char* buffer, std::size_t limit) : buffer_(buffer), limit_(limit) {}

  void Append(const char* text, std::size_t length) {
    const std::size_t room = limit_ - length_;
    if (length > room) length = room;
    std::memcpy(buffer_ + length_, text, length);
    length_ += length;
  }
  void Append(const char* text) { Append(text, std::strlen(text)); }
  void Append(char c) { Append(&c, 1); }
  std::size_t room() const { return limit_ - length_; }
  std::size_t length() const { return length_; }

 private:
  char* buffer_;
  std::size_t limit_;
  std::size_t length_ = 0;
};

void AppendToken(LineWriter& line, char token, const LogRecord& record) {
  // Room for every category code with its separator.
  char text[kCategorySlots * 4];
  switch (token) {
    case 'D': FormatTimestamp(text, sizeof text, record); break;
    case 'E':
      line.Append(Logger::Instance() ? Logger::Instance()->executableName() : "<unknown>");
      return;
    case 'G': FormatCategories(text, sizeof text, record.categories); break;
    case 'H': {
      const double seconds = GetElapsedSeconds();
      const int whole = static_cast<int>(seconds);
      std::snprintf(text, sizeof text, "%06d.%03d", whole,
                    static_cast<int>((seconds - whole) * 1000));
      break;
    }
    case 'L': line.Append(GetLevelName(record.level)); return;
    case 'M': line.Append(record.message ? record.message : ""); return;
    case 'T':
      std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(Platform::CurrentThreadId()));
      break;
    default: line.Append(token); return;
  }
  line.Append(text);
}

std::size_t Finish(std::size_t size, int written) {
  if (written < 0) written = 0;
  return static_cast<std::size_t>(written) < size ? static_cast<std::size_t>(written) : size - 1;
}

}  // namespace

// "LOC" takes slot 8 when the module loads.
static const std::uint64_t kLocationCategory = RegisterCategory("LOC");

std::uint64_t RegisterCategory(const char* code) {
  if (code == nullptr) return 0;
  char key[3] = {};
  for (std::size_t i = 0; i < 3 && code[i] != '\0'; ++i) key[i] = code[i];
  std::lock_guard guard(CategoryMutex());
  const std::size_t used = usedCategorySlots.load();
  for (std::size_t slot = 0; slot < used; ++slot) {
    if (std::memcmp(categoryCodes[slot].data(), key, 3) == 0) return std::uint64_t{1} << slot;
  }
  if (used >= kCategorySlots) return 0;
  std::memcpy(categoryCodes[used].data(), key, 3);
  usedCategorySlots.fetch_add(1);
  return std::uint64_t{1} << used;
}

std::size_t FormatCategories(char* buffer, std::size_t size, std::uint64_t mask) {
  if (buffer == nullptr || size == 0) return 0;
  LineWriter line(buffer, size - 1);
  bool first = true;
  for (std::size_t slot = 0; slot < kCategorySlots; ++slot) {
    if ((mask & (std::uint64_t{1} << slot)) == 0) continue;
    if (!first) line.Append(';');
    // A slot no code was registered for has none (and no zero bytes).
    line.Append(categoryCodes[slot].data(), strnlen(categoryCodes[slot].data(), 3));
    first = false;
  }
  buffer[line.length()] = '\0';
  return line.length();
}

std::size_t FormatRecord(char* buffer, std::size_t size, const char* format,
                         const LogRecord& record) {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) return buffer[0] = '\0', 0;
  // Two bytes stay reserved for the final line break and the terminator.
  LineWriter line(buffer, size - 2);
  // The walk goes on while at least two bytes of that room are left.
  for (const char* f = format ? format : ""; *f != '\0' && line.room() >= 2; ++f) {
    if (*f != '#') {
      line.Append(*f);
    } else if (*++f == '\0') {
      break;  // a '#' at the very end adds nothing
    } else {
      AppendToken(line, *f, record);
    }
  }
  std::size_t length = line.length();
  if (length == 0 || buffer[length - 1] != '\n') buffer[length++] = '\n';
  buffer[length] = '\0';
  return length;
}

std::size_t FormatTimestamp(char* buffer, std::size_t size, const LogRecord& time) {
  if (buffer == nullptr || size == 0) return 0;
  return Finish(
      size, std::snprintf(buffer, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month,
                          time.day, time.hour, time.minute, time.second, time.millisecond));
}

std::size_t FormatFileTimestamp(char* buffer, std::size_t size, const LogRecord& time) {
  if (buffer == nullptr || size == 0) return 0;
  return Finish(size, std::snprintf(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", time.year,
                                    time.month, time.day, time.hour, time.minute, time.second));
}

const char* GetLevelName(std::int32_t level) {
  static const char* const kNames[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
  return level >= 0 && level <= 3 ? kNames[level] : "     ?";
}

}  // namespace Corvan
