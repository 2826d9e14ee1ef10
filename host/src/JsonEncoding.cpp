#include "JsonEncoding.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <span>

#include "binding/Base64.h"
#include "binding/FlatProperty.h"

namespace Corvan::Host {

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteText(JsonWriter& writer, const char* data, std::uint32_t length) {
  if (data == nullptr) {
    writer.String("", 0);
    return;
  }
  writer.String(data, length);
}

void WriteFlat(JsonWriter& writer, const FlatProperty& value, std::size_t depth);

void WriteObject(JsonWriter& writer, const FlatProperty& value, std::size_t depth) {
  writer.StartObject();
  const FlatPropertyEntry* entries = value.value.object.entries;
  for (std::uint32_t i = 0; entries != nullptr && i < value.value.object.count; ++i) {
    const char* key = entries[i].key;
    writer.Key(key != nullptr ? key : "");
    WriteFlat(writer, EntryValue(entries[i]), depth + 1);
  }
  writer.EndObject();
}

void WriteFlat(JsonWriter& writer, const FlatProperty& value, std::size_t depth) {
  if (depth > kMaxTreeDepth) {
    writer.Null();
    return;
  }
  switch (value.kind) {
    case FLAT_BOOL: writer.Bool(value.value.boolean != 0); return;
    case FLAT_INT64: writer.Int64(value.value.int64); return;
    case FLAT_UINT64: writer.Uint64(value.value.uint64); return;
    case FLAT_DOUBLE:
      if (std::isfinite(value.value.float64)) {
        writer.Double(value.value.float64);
      } else {
        writer.Null();
      }
      return;
    case FLAT_STRING_BORROWED:
    case FLAT_STRING_OWNED:
      WriteText(writer, value.value.string.data, value.value.string.length);
      return;
    case FLAT_BLOB_BORROWED:
    case FLAT_BLOB_OWNED: {
      const std::uint8_t* data = value.value.blob.data;
      const std::string text =
          data != nullptr ? EncodeBase64(std::span(data, value.value.blob.length)) : std::string();
      writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
      return;
    }
    case FLAT_ARRAY: {
      writer.StartArray();
      const FlatProperty* items = value.value.array.items;
      for (std::uint32_t i = 0; items != nullptr && i < value.value.array.count; ++i) {
        WriteFlat(writer, items[i], depth + 1);
      }
      writer.EndArray();
      return;
    }
    case FLAT_OBJECT: WriteObject(writer, value, depth); return;
    default: writer.Null(); return;
  }
}

}  // namespace

std::string FlatToJson(const FlatProperty& value) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  WriteFlat(writer, value, 0);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string PropertyToJson(const BindingProperty& value) {
  FlatProperty flat{};
  ToFlatProperty(value, flat);
  std::string text = FlatToJson(flat);
  ReleaseFlatProperty(flat);
  return text;
}

std::string ErrorBodyJson(std::uint32_t status, std::string_view message) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  writer.Key("httpStatus");
  writer.Uint(status);
  writer.Key("message");
  writer.String(message.data(), static_cast<rapidjson::SizeType>(message.size()));
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Corvan::Host
