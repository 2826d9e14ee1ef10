#include "binding/FlatApiDescription.h"

#include <string>

namespace Corvan {

namespace {

// Missing texts are written as this text: the host never sees a null text.
constexpr const char* kNoText = "";

const char* Text(const std::string& text) { return text.c_str(); }

// Codes the host does not know are written as 0.
std::uint32_t KindCode(BindingTypeKind kind) {
  const auto code = static_cast<std::uint32_t>(kind);
  return code <= static_cast<std::uint32_t>(BindingTypeKind::Map) ? code : 0;
}

// Only container and named kinds name a registered type; a scalar field
// never carries the name of whatever descriptor happens to be attached.
const char* TypeName(const BindingTypeRef& type) {
  switch (type.kind) {
    case BindingTypeKind::Vector:
    case BindingTypeKind::Enum:
    case BindingTypeKind::Struct:
    case BindingTypeKind::Map: return type.type != nullptr ? Text(type.type->name) : kNoText;
    default: return kNoText;
  }
}

// An empty array is handed over as a null pointer with count 0, so the host
// never gets a pointer that points at no record.
template <class Record>
const Record* FirstOf(const std::vector<Record>& records) {
  return records.empty() ? nullptr : records.data();
}

template <class Record>
void LinkRecords(std::vector<Record>& records) {
  for (std::size_t i = 0; i + 1 < records.size(); ++i) records[i].next = &records[i + 1];
  if (!records.empty()) records.back().next = nullptr;
}

// Argument and field records describe their type the same way.
template <class Record>
void SetAdvertisedType(Record& record, const BindingTypeRef& type) {
  record.kind = KindCode(type.kind);
  record.elementKind = KindCode(type.elementKind);
  record.typeName = TypeName(type);
}

std::vector<const char*> TagTexts(const std::vector<std::string>& tags) {
  std::vector<const char*> texts;
  texts.reserve(tags.size());
  for (const std::string& tag : tags) texts.push_back(Text(tag));
  return texts;
}

std::uint32_t Count(std::size_t size) { return static_cast<std::uint32_t>(size); }

}  // namespace

// The nine arrays of one build. The outer arrays are sized before any
// record is filled, so the pointers between records never move.
struct FlatApiDescription::Snapshot {
  std::vector<FlatFunctionRecord> functions;
  std::vector<FlatTypeRecord> types;
  std::vector<FlatEventRecord> events;
  std::vector<std::vector<FlatArgumentRecord>> arguments;
  std::vector<std::vector<FlatFieldRecord>> fields;
  std::vector<std::vector<FlatEnumeratorRecord>> enumerators;
  std::vector<std::vector<const char*>> functionTags;
  std::vector<std::vector<const char*>> typeTags;
  std::vector<std::vector<const char*>> eventTags;

  void Reset(std::size_t functionCount, std::size_t typeCount, std::size_t eventCount);
  void FillFunction(std::size_t index, const BindingFunctionDescriptor& function);
  void FillType(std::size_t index, const BindingTypeDescriptor& type);
  void FillEvent(std::size_t index, const BindingEventDescriptor& event);
};

void FlatApiDescription::Snapshot::Reset(std::size_t functionCount, std::size_t typeCount,
                                         std::size_t eventCount) {
  // assign() rather than resize(): every record of a new build starts zeroed.
  functions.assign(functionCount, FlatFunctionRecord{});
  arguments.assign(functionCount, {});
  functionTags.assign(functionCount, {});
  types.assign(typeCount, FlatTypeRecord{});
  fields.assign(typeCount, {});
  enumerators.assign(typeCount, {});
  typeTags.assign(typeCount, {});
  events.assign(eventCount, FlatEventRecord{});
  eventTags.assign(eventCount, {});
}

void FlatApiDescription::Snapshot::FillFunction(std::size_t index,
                                                const BindingFunctionDescriptor& function) {
  std::vector<FlatArgumentRecord>& records = arguments[index];
  records.assign(function.arguments.size(), FlatArgumentRecord{});
  std::size_t position = 0;
  for (const BindingArgumentDescriptor& argument : function.arguments) {
    FlatArgumentRecord& record = records[position++];
    record.name = Text(argument.name);
    record.description = Text(argument.description);
    SetAdvertisedType(record, argument.AdvertisedOrDeclared());
    record.optional = argument.optional ? 1 : 0;
  }
  LinkRecords(records);
  functionTags[index] = TagTexts(function.tags);

  const BindingTypeRef& result = function.AdvertisedOrDeclaredResult();
  FlatFunctionRecord& record = functions[index];
  record.reserved = 0;
  record.functionContext = nullptr;  // the router fills it in
  record.name = Text(function.name);
  record.nameSpace = Text(function.nameSpace);
  record.arguments = FirstOf(records);
  record.argumentCount = Count(records.size());
  record.resultKind = KindCode(result.kind);
  record.resultElementKind = KindCode(result.elementKind);
  record.resultTypeName = TypeName(result);
  record.description = Text(function.description);
  record.help = Text(function.help);
  record.threadSafe = function.threadSafe ? 1 : 0;
  record.asyncEventTypeName = function.isAsync && function.asyncEventType != nullptr
                                  ? Text(function.asyncEventType->name)
                                  : kNoText;
  record.tags = FirstOf(functionTags[index]);
  record.tagCount = Count(functionTags[index].size());
}

void FlatApiDescription::Snapshot::FillType(std::size_t index, const BindingTypeDescriptor& type) {
  std::vector<FlatFieldRecord>& fieldRecords = fields[index];
  fieldRecords.assign(type.fields.size(), FlatFieldRecord{});
  std::size_t position = 0;
  for (const BindingFieldDescriptor& field : type.fields) {
    FlatFieldRecord& record = fieldRecords[position++];
    record.name = Text(field.name);
    record.description = Text(field.description);
    record.nativeOffset = field.offset;
    SetAdvertisedType(record, field.AdvertisedOrDeclared());
    record.hasCustomConverter = field.customConverter ? 1 : 0;
  }
  LinkRecords(fieldRecords);

  std::vector<FlatEnumeratorRecord>& enumeratorRecords = enumerators[index];
  enumeratorRecords.reserve(type.enumerators.size());
  for (const auto& [name, enumerator] : type.enumerators) {  // name order
    enumeratorRecords.push_back(
        {nullptr, Text(enumerator.name), Text(enumerator.description), enumerator.value});
  }
  LinkRecords(enumeratorRecords);
  typeTags[index] = TagTexts(type.tags);

  FlatTypeRecord& record = types[index];
  record.name = Text(type.name);
  record.nameSpace = Text(type.nameSpace);
  record.nativeSize = type.size;
  record.description = Text(type.description);
  record.tags = FirstOf(typeTags[index]);
  record.tagCount = Count(typeTags[index].size());
  if (!fieldRecords.empty()) {
    record.fields = fieldRecords.data();
    record.memberCount = Count(fieldRecords.size());
  } else {
    record.enumerators = FirstOf(enumeratorRecords);
    record.memberCount = Count(enumeratorRecords.size());
  }
}

void FlatApiDescription::Snapshot::FillEvent(std::size_t index,
                                             const BindingEventDescriptor& event) {
  eventTags[index] = TagTexts(event.tags);
  FlatEventRecord& record = events[index];
  record.name = Text(event.name);
  record.nameSpace = Text(event.nameSpace);
  record.payloadTypeName = event.payload.type != nullptr ? Text(event.payload.type->name) : kNoText;
  record.description = Text(event.description);
  record.tags = FirstOf(eventTags[index]);
  record.tagCount = Count(eventTags[index].size());
}

FlatApiDescription::FlatApiDescription() : snapshot_(std::make_unique<Snapshot>()) {}
FlatApiDescription::~FlatApiDescription() = default;

const FlatApiTable& FlatApiDescription::Build(
    const std::vector<const BindingFunctionDescriptor*>& functions,
    const std::vector<const BindingTypeDescriptor*>& types,
    const std::vector<const BindingEventDescriptor*>& events) {
  Snapshot& snapshot = *snapshot_;
  snapshot.Reset(functions.size(), types.size(), events.size());
  for (std::size_t i = 0; i < functions.size(); ++i) snapshot.FillFunction(i, *functions[i]);
  for (std::size_t i = 0; i < types.size(); ++i) snapshot.FillType(i, *types[i]);
  for (std::size_t i = 0; i < events.size(); ++i) snapshot.FillEvent(i, *events[i]);
  LinkRecords(snapshot.functions);
  LinkRecords(snapshot.types);
  LinkRecords(snapshot.events);

  table_ = FlatApiTable{};
  table_.functions = FirstOf(snapshot.functions);
  table_.functionCount = Count(snapshot.functions.size());
  table_.types = FirstOf(snapshot.types);
  table_.typeCount = Count(snapshot.types.size());
  table_.events = FirstOf(snapshot.events);
  table_.eventCount = Count(snapshot.events.size());
  return table_;
}

}  // namespace Corvan
