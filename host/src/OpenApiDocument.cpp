#include "OpenApiDocument.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <map>
#include <set>
#include <vector>

#include "routing/RouteTemplate.h"

namespace Corvan::Host {

namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// Declared-type codes of the flat records.
enum Kind : std::uint32_t {
  kBool = 1, kInt8, kUInt8, kInt16, kUInt16, kInt32, kUInt32, kInt64, kUInt64,
  kFloat, kDouble, kString, kObject, kBlob, kVector, kEnum, kStruct, kCallback, kMap
};

const char* Text(const char* text) { return text != nullptr ? text : ""; }

void Key(Writer& w, const char* key) { w.Key(key); }
void Str(Writer& w, const char* key, const char* value) {
  w.Key(key);
  w.String(Text(value));
}

void TypeRef(Writer& w, const char* typeName) {
  w.StartObject();
  Str(w, "$ref", (std::string("#/components/schemas/") + Text(typeName)).c_str());
  w.EndObject();
}

void Schema(Writer& w, std::uint32_t kind, std::uint32_t elementKind, const char* typeName);

void ScalarSchema(Writer& w, const char* type, const char* format) {
  w.StartObject();
  Str(w, "type", type);
  if (format != nullptr) Str(w, "format", format);
  w.EndObject();
}

// A list ("array", "items") or a map ("object", "additionalProperties") of
// elements of one kind.
void ContainerSchema(Writer& w, const char* type, const char* elementKey, std::uint32_t elementKind,
                     const char* typeName) {
  w.StartObject();
  Str(w, "type", type);
  Key(w, elementKey);
  Schema(w, elementKind, 0, typeName);
  w.EndObject();
}

void Schema(Writer& w, std::uint32_t kind, std::uint32_t elementKind, const char* typeName) {
  switch (kind) {
    case kBool: return ScalarSchema(w, "boolean", nullptr);
    case kInt8: case kUInt8: case kInt16: case kUInt16: case kInt32:
      return ScalarSchema(w, "integer", "int32");
    case kUInt32: case kInt64: case kUInt64: return ScalarSchema(w, "integer", "int64");
    case kFloat: return ScalarSchema(w, "number", "float");
    case kDouble: return ScalarSchema(w, "number", "double");
    case kString: return ScalarSchema(w, "string", nullptr);
    case kBlob: return ScalarSchema(w, "string", "byte");
    case kEnum: case kStruct:
      if (Text(typeName)[0] != '\0') return TypeRef(w, typeName);
      return ScalarSchema(w, kind == kEnum ? "string" : "object", nullptr);
    case kVector: return ContainerSchema(w, "array", "items", elementKind, typeName);
    case kMap: return ContainerSchema(w, "object", "additionalProperties", elementKind, typeName);
    default:  // object, callback, none: any value
      w.StartObject();
      w.EndObject();
      return;
  }
}

bool IsBodyKind(std::uint32_t kind) {
  return kind == kStruct || kind == kVector || kind == kMap || kind == kObject;
}

bool TakesBody(std::uint32_t method) {
  return method == HTTP_METHOD_PUT || method == HTTP_METHOD_POST || method == HTTP_METHOD_PATCH;
}

const char* MethodKey(std::uint32_t method) {
  switch (method) {
    case HTTP_METHOD_DELETE: return "delete";
    case HTTP_METHOD_HEAD: return "head";
    case HTTP_METHOD_OPTIONS: return "options";
    case HTTP_METHOD_PATCH: return "patch";
    case HTTP_METHOD_POST: return "post";
    case HTTP_METHOD_PUT: return "put";
    default: return "get";
  }
}

// The OpenAPI path of a route template: variable markers dropped.
std::string OpenApiPath(const char* routeTemplate) {
  std::string path;
  for (const char* c = Text(routeTemplate); *c != '\0'; ++c) {
    if ((*c == '+' || *c == '#') && !path.empty() && path.back() == '{') continue;
    path += *c;
  }
  return path;
}

void Tags(Writer& w, const char* const* tags, std::uint32_t count) {
  if (tags == nullptr || count == 0) return;
  Key(w, "tags");
  w.StartArray();
  for (std::uint32_t i = 0; i < count; ++i) w.String(Text(tags[i]));
  w.EndArray();
}

void Parameter(Writer& w, const FlatArgumentRecord& argument, const char* location) {
  w.StartObject();
  Str(w, "name", argument.name);
  Str(w, "in", location);
  const bool required = std::string_view(location) == "path" || argument.optional == 0;
  Key(w, "required");
  w.Bool(required);
  if (Text(argument.description)[0] != '\0') Str(w, "description", argument.description);
  Key(w, "schema");
  Schema(w, argument.kind, argument.elementKind, argument.typeName);
  w.EndObject();
}

void JsonContent(Writer& w, std::uint32_t kind, std::uint32_t elementKind, const char* typeName) {
  Key(w, "content");
  w.StartObject();
  Key(w, "application/json");
  w.StartObject();
  Key(w, "schema");
  Schema(w, kind, elementKind, typeName);
  w.EndObject();
  w.EndObject();
}

void Arguments(Writer& w, const FunctionDescriptor& d, std::uint32_t method) {
  const RouteTemplate route = RouteTemplate::Compile(Text(d.routeTemplate));
  const std::set<std::string> variables(route.variables().begin(), route.variables().end());
  const FlatArgumentRecord* body = nullptr;
  Key(w, "parameters");
  w.StartArray();
  const FlatArgumentRecord* arguments = d.function.arguments;
  for (std::uint32_t i = 0; arguments != nullptr && i < d.function.argumentCount; ++i) {
    const FlatArgumentRecord& argument = arguments[i];
    if (variables.count(Text(argument.name)) != 0) {
      Parameter(w, argument, "path");
    } else if (body == nullptr && TakesBody(method) && IsBodyKind(argument.kind)) {
      body = &argument;
    } else {
      Parameter(w, argument, "query");
    }
  }
  w.EndArray();
  if (body == nullptr) return;
  Key(w, "requestBody");
  w.StartObject();
  Key(w, "required");
  w.Bool(body->optional == 0);
  JsonContent(w, body->kind, body->elementKind, body->typeName);
  w.EndObject();
}

void Responses(Writer& w, const FlatFunctionRecord& f) {
  Key(w, "responses");
  w.StartObject();
  if (f.resultKind == 0) {
    Key(w, "204");
    w.StartObject();
    Str(w, "description", "No content");
    w.EndObject();
  } else {
    Key(w, "200");
    w.StartObject();
    Str(w, "description", "Success");
    JsonContent(w, f.resultKind, f.resultElementKind, f.resultTypeName);
    w.EndObject();
  }
  Key(w, "default");
  w.StartObject();
  Str(w, "description", "Error");
  JsonContent(w, kStruct, 0, "ErrorBody");
  w.EndObject();
  w.EndObject();
}

void Operation(Writer& w, const FunctionDescriptor& d) {
  const std::uint32_t method = d.method;
  const FlatFunctionRecord& f = d.function;
  w.StartObject();
  Str(w, "operationId", f.name);
  if (Text(f.description)[0] != '\0') Str(w, "summary", f.description);
  if (Text(f.help)[0] != '\0') Str(w, "description", f.help);
  Tags(w, f.tags, f.tagCount);
  if (method == HTTP_METHOD_NONE || method > HTTP_METHOD_CUSTOM) {
    Key(w, "x-any-method");
    w.Bool(true);
  }
  Arguments(w, d, method);
  Responses(w, f);
  w.EndObject();
}

void Paths(Writer& w, const PluginApiDescription& description) {
  // Operations grouped by path, each path's methods in descriptor order.
  std::map<std::string, std::vector<const FunctionDescriptor*>> byPath;
  for (std::uint32_t i = 0; description.functions != nullptr && i < description.functionCount;
       ++i) {
    byPath[OpenApiPath(description.functions[i].routeTemplate)].push_back(
        &description.functions[i]);
  }
  Key(w, "paths");
  w.StartObject();
  for (const auto& [path, descriptors] : byPath) {
    Key(w, path.c_str());
    w.StartObject();
    std::set<std::string> methods;
    for (const FunctionDescriptor* d : descriptors) {
      const char* method = MethodKey(d->method);
      if (!methods.insert(method).second) continue;  // OpenAPI allows one per method
      Key(w, method);
      Operation(w, *d);
    }
    w.EndObject();
  }
  w.EndObject();
}

void RecordSchema(Writer& w, const FlatTypeRecord& type) {
  Str(w, "type", "object");
  Key(w, "properties");
  w.StartObject();
  const FlatFieldRecord* fields = type.fields;
  for (std::uint32_t i = 0; fields != nullptr && i < type.memberCount; ++i) {
    Key(w, Text(fields[i].name));
    Schema(w, fields[i].kind, fields[i].elementKind, fields[i].typeName);
  }
  w.EndObject();
}

void EnumSchema(Writer& w, const FlatTypeRecord& type) {
  Str(w, "type", "string");
  Key(w, "enum");
  w.StartArray();
  for (std::uint32_t i = 0; i < type.memberCount; ++i) w.String(Text(type.enumerators[i].name));
  w.EndArray();
  Key(w, "x-enum-values");
  w.StartObject();
  for (std::uint32_t i = 0; i < type.memberCount; ++i) {
    Key(w, Text(type.enumerators[i].name));
    w.Int(type.enumerators[i].value);
  }
  w.EndObject();
}

void ErrorBodySchema(Writer& w) {
  Key(w, "ErrorBody");
  w.StartObject();
  Str(w, "type", "object");
  Key(w, "properties");
  w.StartObject();
  Key(w, "httpStatus");
  ScalarSchema(w, "integer", "int32");
  Key(w, "message");
  ScalarSchema(w, "string", nullptr);
  w.EndObject();
  w.EndObject();
}

void Components(Writer& w, const PluginApiDescription& description) {
  Key(w, "components");
  w.StartObject();
  Key(w, "schemas");
  w.StartObject();
  for (std::uint32_t i = 0; description.types != nullptr && i < description.typeCount; ++i) {
    const FlatTypeRecord& type = description.types[i];
    Key(w, Text(type.name));
    w.StartObject();
    if (Text(type.description)[0] != '\0') Str(w, "description", type.description);
    if (type.enumerators != nullptr) {
      EnumSchema(w, type);
    } else {
      RecordSchema(w, type);
    }
    w.EndObject();
  }
  ErrorBodySchema(w);
  w.EndObject();
  w.EndObject();
}

void Events(Writer& w, const PluginApiDescription& description) {
  Key(w, "x-events");
  w.StartArray();
  for (std::uint32_t i = 0; description.events != nullptr && i < description.eventCount; ++i) {
    const FlatEventRecord& event = description.events[i];
    w.StartObject();
    Str(w, "name", event.name);
    Str(w, "payloadType", event.payloadTypeName);
    if (Text(event.description)[0] != '\0') Str(w, "description", event.description);
    w.EndObject();
  }
  w.EndArray();
}

}  // namespace

std::string RenderOpenApi(const PluginApiDescription& description, std::string_view title,
                          std::string_view version) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Str(w, "openapi", "3.0.3");
  Key(w, "info");
  w.StartObject();
  Key(w, "title");
  w.String(title.data(), static_cast<rapidjson::SizeType>(title.size()));
  Key(w, "version");
  w.String(version.data(), static_cast<rapidjson::SizeType>(version.size()));
  w.EndObject();
  Paths(w, description);
  Components(w, description);
  Events(w, description);
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Corvan::Host
