#include "binding/FlatProperty.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>

#include "binding/BindingRegistry.h"
#include "logging/FormatPositional.h"

namespace Corvan {

namespace {

constexpr const char* kIncompatibleKind =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type "
    "'%2'.";
constexpr const char* kTooDeep =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";

// A count the host gives is only a claim: reserve no more than this up front,
// so a wrong count cannot ask for gigabytes before the first element is read.
constexpr std::uint32_t kMaxReserve = 4096;

void SetOwnedBytes(FlatProperty& flat, std::uint32_t kind, const void* bytes, std::size_t length) {
  char* copy = new char[length + 1];
  if (length != 0) std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  flat.kind = kind;
  flat.value.string.data = copy;
  flat.value.string.length = static_cast<std::uint32_t>(length);
}

void ToFlatEnum(const EnumValue& value, FlatProperty& out, const BindingRegistry* registry) {
  if (registry != nullptr) {
    const BindingTypeDescriptor* type = registry->FindTypeByHash(value.typeHash);
    const char* name = type != nullptr ? type->EnumeratorName(value.value) : nullptr;
    if (name != nullptr) {
      SetOwnedBytes(out, FLAT_STRING_OWNED, name, std::strlen(name));
      return;
    }
  }
  out.kind = FLAT_INT64;
  out.value.int64 = value.value;
}

void ToFlatCollection(const BindingProperty& value, FlatProperty& out,
                      const BindingRegistry* registry) {
  auto elements = value.Elements();
  auto* items = new FlatProperty[elements.size()]();
  for (std::size_t i = 0; i < elements.size(); ++i) ToFlatProperty(elements[i], items[i], registry);
  out.kind = FLAT_ARRAY;
  out.value.array.items = items;
  out.value.array.count = static_cast<std::uint32_t>(elements.size());
}

void ToFlatStructure(const BindingProperty& value, FlatProperty& out,
                     const BindingRegistry* registry) {
  const PropertyMap& fields = *value.Fields();
  auto* entries = new FlatPropertyEntry[fields.size()]();
  std::size_t i = 0;
  for (const auto& [key, field] : fields) {
    entries[i].key = CopyFlatText(key->View());
    entries[i].ownsKey = 1;
    FlatProperty value{};
    ToFlatProperty(field, value, registry);
    SetEntryValue(entries[i], value);
    ++i;
  }
  out.kind = FLAT_OBJECT;
  out.value.object.entries = entries;
  out.value.object.count = static_cast<std::uint32_t>(fields.size());
}

// The text of a flat string: up to its length or its first zero byte.
std::string_view FlatText(const char* data, std::uint32_t length) {
  if (data == nullptr) return {};
  const void* zero = std::memchr(data, 0, length);
  return {data, zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - data)
                                : length};
}

class FlatReader {
 public:
  FlatReader(FlatResult& report, const char* path) : report_(report), path_(path ? path : "") {}

  bool Read(const FlatProperty& flat, BindingProperty& out, std::size_t depth) {
    switch (flat.kind) {
      case FLAT_NULL: out.SetEmpty(); return true;
      case FLAT_BOOL: out.SetBool(flat.value.boolean != 0); return true;
      case FLAT_INT64: out.SetSigned(flat.value.int64); return true;
      case FLAT_UINT64: out.SetUnsigned(flat.value.uint64); return true;
      case FLAT_DOUBLE: out.SetFloat(flat.value.float64); return true;
      case FLAT_STRING_BORROWED:
      case FLAT_STRING_OWNED:
        out.SetString(FlatText(flat.value.string.data, flat.value.string.length));
        return true;
      case FLAT_BLOB_BORROWED:
      case FLAT_BLOB_OWNED: ReadBlob(flat, out); return true;
      case FLAT_ARRAY: return depth < kMaxTreeDepth ? ReadArray(flat, out, depth) : TooDeep();
      case FLAT_OBJECT: return depth < kMaxTreeDepth ? ReadObject(flat, out, depth) : TooDeep();
      default:
        ReportFlatError(report_,
                        FormatPositionalText(kIncompatibleKind, path_, FlatKindName(flat.kind)));
        return false;
    }
  }

 private:
  static void ReadBlob(const FlatProperty& flat, BindingProperty& out) {
    const std::uint8_t* data = flat.value.blob.data;
    const std::uint32_t length = data != nullptr ? flat.value.blob.length : 0;
    out.SetBlob(std::vector<std::uint8_t>(data, data + length));
  }

  bool ReadArray(const FlatProperty& flat, BindingProperty& out, std::size_t depth) {
    const FlatProperty* items = flat.value.array.items;
    const std::uint32_t count = items != nullptr ? flat.value.array.count : 0;
    out.SetEmpty();
    out.MakeCollection(std::min(count, kMaxReserve));
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Read(items[i], out.Append(), depth + 1)) return false;
    }
    return true;
  }

  bool ReadObject(const FlatProperty& flat, BindingProperty& out, std::size_t depth) {
    const FlatPropertyEntry* entries = flat.value.object.entries;
    const std::uint32_t count = entries != nullptr ? flat.value.object.count : 0;
    out.SetEmpty();
    out.MakeStructure();
    for (std::uint32_t i = 0; i < count; ++i) {
      const char* key = entries[i].key != nullptr ? entries[i].key : "";
      if (!Read(EntryValue(entries[i]), out.Field(key), depth + 1)) return false;
    }
    return true;
  }

  bool TooDeep() {
    ReportFlatError(report_, FormatPositionalText(kTooDeep, path_, kMaxTreeDepth));
    return false;
  }

  FlatResult& report_;
  const char* path_;
};

}  // namespace

FlatProperty EntryValue(const FlatPropertyEntry& entry) {
  FlatProperty value;
  std::memcpy(&value, reinterpret_cast<const char*>(&entry) + offsetof(FlatPropertyEntry, value),
              sizeof value);
  return value;
}

void SetEntryValue(FlatPropertyEntry& entry, const FlatProperty& value) {
  std::memcpy(reinterpret_cast<char*>(&entry) + offsetof(FlatPropertyEntry, value), &value,
              sizeof value);
}

FlatProperty ResultValue(const FlatResult& result) {
  FlatProperty value;
  std::memcpy(&value, reinterpret_cast<const char*>(&result) + offsetof(FlatResult, value),
              sizeof value);
  return value;
}

void SetResultValue(FlatResult& result, const FlatProperty& value) {
  std::memcpy(reinterpret_cast<char*>(&result) + offsetof(FlatResult, value), &value, sizeof value);
}

const char* FlatKindName(std::uint32_t kind) {
  static const char* const kNames[] = {"",      "bool",       "signed",   "unsigned",
                                       "float", "string",     "string",   "blob",
                                       "blob",  "collection", "structure"};
  return kind < std::size(kNames) ? kNames[kind] : "";
}

char* CopyFlatText(std::string_view text) {
  char* copy = new char[text.size() + 1];
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void FreeFlatText(const char* text) { delete[] text; }

void ReleaseFlatProperty(FlatProperty& flat) {
  switch (flat.kind) {
    case FLAT_STRING_OWNED:
    case FLAT_BLOB_OWNED: delete[] flat.value.string.data; break;
    case FLAT_ARRAY:
      for (std::uint32_t i = 0; i < flat.value.array.count; ++i) {
        ReleaseFlatProperty(flat.value.array.items[i]);
      }
      delete[] flat.value.array.items;
      break;
    case FLAT_OBJECT:
      for (std::uint32_t i = 0; i < flat.value.object.count; ++i) {
        FlatPropertyEntry& entry = flat.value.object.entries[i];
        if (entry.ownsKey) FreeFlatText(entry.key);
        FlatProperty value = EntryValue(entry);
        ReleaseFlatProperty(value);
      }
      delete[] flat.value.object.entries;
      break;
    default: break;
  }
  std::memset(&flat, 0, sizeof flat);
}

FlatProperty ScalarFlatProperty(const BindingProperty& value) {
  FlatProperty flat{};
  switch (value.kind()) {
    case PropertyKind::Bool:
      flat.kind = FLAT_BOOL;
      flat.value.boolean = value.GetBool();
      break;
    case PropertyKind::Signed:
      flat.kind = FLAT_INT64;
      flat.value.int64 = value.GetSigned();
      break;
    case PropertyKind::Unsigned:
      flat.kind = FLAT_UINT64;
      flat.value.uint64 = value.GetUnsigned();
      break;
    case PropertyKind::Float:
      flat.kind = FLAT_DOUBLE;
      flat.value.float64 = value.GetFloat();
      break;
    default: break;
  }
  return flat;
}

void ToFlatProperty(const BindingProperty& value, FlatProperty& out,
                    const BindingRegistry* registry) {
  ReleaseFlatProperty(out);
  switch (value.kind()) {
    case PropertyKind::Empty:
    case PropertyKind::Bool:
    case PropertyKind::Signed:
    case PropertyKind::Unsigned:
    case PropertyKind::Float: out = ScalarFlatProperty(value); break;
    case PropertyKind::String: {
      std::string_view text = value.GetStringView();
      SetOwnedBytes(out, FLAT_STRING_OWNED, text.data(), text.size());
      break;
    }
    case PropertyKind::Blob: {
      auto bytes = value.GetBlob();
      SetOwnedBytes(out, FLAT_BLOB_OWNED, bytes.data(), bytes.size());
      break;
    }
    case PropertyKind::Enum: ToFlatEnum(value.GetEnum(), out, registry); break;
    case PropertyKind::Collection: ToFlatCollection(value, out, registry); break;
    case PropertyKind::Structure: ToFlatStructure(value, out, registry); break;
  }
}

bool FromFlatProperty(const FlatProperty& flat, BindingProperty& out, FlatResult& report,
                      const char* path) {
  return FlatReader(report, path).Read(flat, out, 0);
}

void ReportFlatError(FlatResult& result, std::string_view message) {
  ReleaseFlatResult(result);
  result.error = CopyFlatText(message);
  result.hasError = 1;
}

void ReleaseFlatResult(FlatResult& result) {
  FlatProperty value = ResultValue(result);
  ReleaseFlatProperty(value);
  if (result.hasError) FreeFlatText(result.error);
  std::memset(&result, 0, sizeof result);
}

}  // namespace Corvan
