#include "binding/readers/MessagePackReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string_view>
#include <vector>

#include "binding/RecordShapes.h"
#include "binding/readers/TreeBuilder.h"
#include "logging/FormatPositional.h"

namespace Corvan {
namespace {

// ---- Messages -----------------------------------------------------------------
// Every text the reader can report. Positions are byte offsets from the start
// of the input; "%1" of the "at position" texts is the offset just past the
// type byte, that of the integer texts the offset where the read would start,
// and the size texts name the declared size and the offset of its first item
// or byte.

enum class Message {
  kInvalidData,
  kKeyNotString,
  kTooDeep,
  kOverBudget,
  kTruncated8,
  kTruncated16,
  kTruncated32,
  kTruncated64,
  kStringTruncated,
  kBlobTruncated,
};

const char* MessageText(Message message) {
  switch (message) {
    case Message::kInvalidData: return "Invalid MessagePack data at position %1.";
    case Message::kKeyNotString: return "Invalid MessagePack data at position %1. Map keys must be strings.";
    case Message::kTooDeep: return "Invalid MessagePack data at position %1. Nesting is deeper than %2 levels.";
    case Message::kOverBudget: return "Invalid MessagePack data at position %1. The data needs more than %2 bytes of memory for each of its bytes.";
    case Message::kTruncated8: return "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
    case Message::kTruncated16: return "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
    case Message::kTruncated32: return "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
    case Message::kTruncated64: return "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
    case Message::kStringTruncated: return "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
    case Message::kBlobTruncated: return "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
  }
  return "Invalid MessagePack data.";
}

// ---- First-byte classes --------------------------------------------------------

enum class ByteClass : std::uint8_t {
  kFixInt,  // positive and negative fixint: the byte as a signed 8-bit value
  kNil,
  kFalse,
  kTrue,
  kUnsigned,
  kSigned,
  kFloat32,
  kFloat64,
  kString,
  kBlob,
  kArray,
  kMap,
  kUnsupported,  // 0xc1, ext and fixext
};

// A class and the width in bytes of the field that follows the type byte
// (0 for the fix forms, whose count or length sits in the low bits).
struct ByteInfo {
  ByteClass kind = ByteClass::kUnsupported;
  std::uint8_t width = 0;
};

constexpr void Fill(std::array<ByteInfo, 256>& table, unsigned first, unsigned last, ByteInfo info) {
  for (unsigned byte = first; byte <= last; ++byte) table[byte] = info;
}

constexpr std::array<ByteInfo, 256> MakeByteTable() {
  std::array<ByteInfo, 256> table{};
  Fill(table, 0x00, 0x7f, {ByteClass::kFixInt, 0});
  Fill(table, 0x80, 0x8f, {ByteClass::kMap, 0});
  Fill(table, 0x90, 0x9f, {ByteClass::kArray, 0});
  Fill(table, 0xa0, 0xbf, {ByteClass::kString, 0});
  table[0xc0] = {ByteClass::kNil, 0};
  table[0xc2] = {ByteClass::kFalse, 0};
  table[0xc3] = {ByteClass::kTrue, 0};
  table[0xc4] = {ByteClass::kBlob, 1}, table[0xc5] = {ByteClass::kBlob, 2}, table[0xc6] = {ByteClass::kBlob, 4};
  table[0xca] = {ByteClass::kFloat32, 4}, table[0xcb] = {ByteClass::kFloat64, 8};
  table[0xcc] = {ByteClass::kUnsigned, 1}, table[0xcd] = {ByteClass::kUnsigned, 2};
  table[0xce] = {ByteClass::kUnsigned, 4}, table[0xcf] = {ByteClass::kUnsigned, 8};
  table[0xd0] = {ByteClass::kSigned, 1}, table[0xd1] = {ByteClass::kSigned, 2};
  table[0xd2] = {ByteClass::kSigned, 4}, table[0xd3] = {ByteClass::kSigned, 8};
  table[0xd9] = {ByteClass::kString, 1}, table[0xda] = {ByteClass::kString, 2}, table[0xdb] = {ByteClass::kString, 4};
  table[0xdc] = {ByteClass::kArray, 2}, table[0xdd] = {ByteClass::kArray, 4};
  table[0xde] = {ByteClass::kMap, 2}, table[0xdf] = {ByteClass::kMap, 4};
  Fill(table, 0xe0, 0xff, {ByteClass::kFixInt, 0});
  return table;  // 0xc1, 0xc7-0xc9 and 0xd4-0xd8 keep kUnsupported
}

constexpr std::array<ByteInfo, 256> kByteTable = MakeByteTable();

template <unsigned Width>
std::uint64_t LoadBigEndian(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < Width; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Sign-extends the low `width` bytes of a value.
std::int64_t SignExtend(std::uint64_t value, unsigned width) {
  switch (width) {
    case 1: return static_cast<std::int8_t>(value);
    case 2: return static_cast<std::int16_t>(value);
    case 4: return static_cast<std::int32_t>(value);
    default: return static_cast<std::int64_t>(value);
  }
}

// ---- Reader --------------------------------------------------------------------

// Reads by recursive descent: each container reads its own items into its
// own value, so no item pays for a stack of open containers or a lookup of
// where it goes. Nesting is limited to kMaxTreeDepth containers, which bounds
// the recursion.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size, BindingResult& result)
      : data_(data), size_(size), budget_(size), result_(result) {}

  // Decodes one value and returns the position reached.
  std::size_t Run() {
    try {
      if (size_ != 0) ReadItem(result_.property, 0);
    } catch (const TreeMemoryBudgetExceeded&) {
      Fail(Message::kOverBudget, position_, kDocumentMemoryFactor);
    }
    return position_;
  }

 private:
  void ReadItem(BindingProperty& target, std::size_t depth);
  [[gnu::noinline]] void ReadContainer(BindingProperty& target, ByteInfo info, std::uint8_t byte,
                                       std::size_t depth);
  void ReadElements(BindingProperty& collection, std::uint64_t count, std::size_t depth);
  void ReadFields(BindingProperty& structure, std::uint64_t count, std::size_t depth);
  bool ReadBytes(ByteInfo info, std::uint8_t byte, Message truncated, std::string_view& bytes);
  bool ReadField(unsigned width, std::uint64_t& value);
  [[gnu::noinline]] bool FailTruncatedField(unsigned width);
  [[gnu::noinline]] void ReadBlob(BindingProperty& target, ByteInfo info, std::uint8_t byte);
  // Whether another item may be read: the input has bytes left and nothing failed.
  bool MoreInput() const { return !failed_ && position_ < size_; }

  template <class... Args>
  [[gnu::noinline]] void Fail(Message message, const Args&... args) {
    result_.ReportError(FormatPositionalText(MessageText(message), args...));
    failed_ = true;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  // Items every container may still declare: each item has its own type
  // byte, so a document of n bytes holds fewer than n of them in all.
  std::uint64_t budget_;
  BindingResult& result_;
  bool failed_ = false;
  RecordShapes shapes_;
};

// Reads the item at the position into the target; `depth` is the number of
// containers open around it. A repeated key hands its earlier value again: a
// scalar replaces it, a structure adds its fields and a collection writes
// its elements from index 0 over the earlier ones.
void Reader::ReadItem(BindingProperty& target, std::size_t depth) {
  const std::uint8_t byte = data_[position_++];
  const ByteInfo info = kByteTable[byte];
  std::uint64_t field = 0;
  std::string_view bytes;
  switch (info.kind) {
    case ByteClass::kFixInt: return target.SetSigned(static_cast<std::int64_t>(static_cast<std::int8_t>(byte)));
    case ByteClass::kNil: return target.SetEmpty();
    case ByteClass::kFalse: return target.SetBool(false);
    case ByteClass::kTrue: return target.SetBool(true);
    case ByteClass::kUnsigned:
      if (ReadField(info.width, field)) target.SetUnsigned(field);
      return;
    case ByteClass::kSigned:
      if (ReadField(info.width, field)) target.SetSigned(SignExtend(field, info.width));
      return;
    case ByteClass::kFloat32:
      if (ReadField(4, field)) target.SetFloat(std::bit_cast<float>(static_cast<std::uint32_t>(field)));
      return;
    case ByteClass::kFloat64:
      if (ReadField(8, field)) target.SetFloat(std::bit_cast<double>(field));
      return;
    case ByteClass::kString:
      if (ReadBytes(info, byte, Message::kStringTruncated, bytes)) target.SetString(bytes);
      return;
    case ByteClass::kBlob: return ReadBlob(target, info, byte);
    case ByteClass::kArray:
    case ByteClass::kMap: return ReadContainer(target, info, byte, depth);
    case ByteClass::kUnsupported: return Fail(Message::kInvalidData, position_);
  }
}

// A container may declare more items than follow: the input then ends
// inside it and it keeps what was read. What it reserves is what the input
// can still hold (every item has its own type byte), charged to the
// document's budget, so no declared count costs more than the input's size,
// nested ones included.
void Reader::ReadContainer(BindingProperty& target, ByteInfo info, std::uint8_t byte,
                           std::size_t depth) {
  const std::size_t itemPosition = position_;
  const bool isMap = info.kind == ByteClass::kMap;
  std::uint64_t count = byte & 0x0f;
  if (info.width != 0 && !ReadField(info.width, count)) return;
  const std::uint64_t items = isMap ? 2 * count : count;
  const std::uint64_t affordable =
      std::min({items, budget_, static_cast<std::uint64_t>(size_ - position_)});
  budget_ -= affordable;
  if (depth >= kMaxTreeDepth) return Fail(Message::kTooDeep, itemPosition, kMaxTreeDepth);
  const std::size_t reserve =
      std::min(static_cast<std::size_t>(isMap ? affordable / 2 : affordable), kMaxReservedItems);
  if (isMap) {
    target.MakeStructure(reserve);
    ReadFields(target, count, depth + 1);
  } else {
    target.MakeCollection(reserve);
    ReadElements(target, count, depth + 1);
  }
}

void Reader::ReadElements(BindingProperty& collection, std::uint64_t count, std::size_t depth) {
  for (std::uint64_t index = 0; index < count && MoreInput(); ++index)
    ReadItem(collection.Element(static_cast<std::size_t>(index)), depth);
}

// A key's field is made only once its value arrives, so input that ends
// after a key leaves no empty field behind.
void Reader::ReadFields(BindingProperty& structure, std::uint64_t count, std::size_t depth) {
  shapes_.Begin(depth, structure);
  for (std::uint64_t entry = 0; entry < count && MoreInput(); ++entry) {
    const std::uint8_t byte = data_[position_++];
    const ByteInfo info = kByteTable[byte];
    if (info.kind != ByteClass::kString) return Fail(Message::kKeyNotString, position_);
    std::string_view key;
    if (!ReadBytes(info, byte, Message::kStringTruncated, key) || !MoreInput()) return;
    ReadItem(shapes_.Field(depth, structure, key), depth);
  }
  // A failure leaves the result holding its message instead of the tree.
  if (!failed_) shapes_.End(depth, structure);
}

// Reads the length (from the low bits of a fix type byte or from the field
// that follows) and then the bytes it announces.
inline bool Reader::ReadBytes(ByteInfo info, std::uint8_t byte, Message truncated,
                              std::string_view& bytes) {
  std::uint64_t length = byte & 0x1f;
  if (info.width != 0 && !ReadField(info.width, length)) return false;
  if (length > size_ - position_) {
    Fail(truncated, length, position_);
    return false;
  }
  bytes = std::string_view(reinterpret_cast<const char*>(data_ + position_),
                           static_cast<std::size_t>(length));
  position_ += static_cast<std::size_t>(length);
  return true;
}

void Reader::ReadBlob(BindingProperty& target, ByteInfo info, std::uint8_t byte) {
  std::string_view bytes;
  if (ReadBytes(info, byte, Message::kBlobTruncated, bytes))
    target.SetBlob(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// A big-endian number of 1, 2, 4 or 8 bytes; the bytes are counted first.
inline bool Reader::ReadField(unsigned width, std::uint64_t& value) {
  if (size_ - position_ < width) return FailTruncatedField(width);
  const std::uint8_t* bytes = data_ + position_;
  switch (width) {
    case 1: value = bytes[0]; break;
    case 2: value = LoadBigEndian<2>(bytes); break;
    case 4: value = LoadBigEndian<4>(bytes); break;
    default: value = LoadBigEndian<8>(bytes); break;
  }
  position_ += width;
  return true;
}

bool Reader::FailTruncatedField(unsigned width) {
  const Message truncated = width == 1   ? Message::kTruncated8
                            : width == 2 ? Message::kTruncated16
                            : width == 4 ? Message::kTruncated32
                                         : Message::kTruncated64;
  Fail(truncated, position_);
  return false;
}

}  // namespace

MessagePackReadResult ReadMessagePack(const std::uint8_t* data, std::size_t size) {
  MessagePackReadResult read;
  if (data == nullptr) size = 0;  // nothing can be read through a null pointer
  read.result.property.SetMemoryBudget(DocumentMemoryBudget(size));
  Reader reader(data, size, read.result);
  read.consumed = reader.Run();
  return read;
}

}  // namespace Corvan
