#include "binding/BindingRegistry.h"

#include "binding/Fnv1a.h"

namespace Corvan {

// ---- TypeBuilder ------------------------------------------------------------

TypeBuilder& TypeBuilder::AddField(std::string_view name, std::string_view description,
                                   std::uint32_t offset, const TypeIdentity& fieldType,
                                   const BindingTypeRef& declared, const BindingTypeRef& advertised,
                                   std::uint32_t flags, std::unique_ptr<FieldConverter> converter,
                                   bool customConverter) {
  if (existing_) return *this;
  BindingFieldDescriptor& field = descriptor_->fields.emplace_back();
  field.name = name;
  field.nameHash = Fnv1a(name);
  field.description = description;
  field.fieldType = fieldType;
  field.offset = offset;
  field.declared = declared;
  if (advertised.kind != BindingTypeKind::None) field.advertised = advertised;
  field.flags = flags;
  field.converter = std::move(converter);
  field.customConverter = customConverter;
  field.owner = descriptor_;
  return *this;
}

TypeBuilder& TypeBuilder::AddEnumerator(std::string_view name, std::int32_t value,
                                        std::string_view description) {
  if (existing_) return *this;
  BindingEnumValue& enumerator = descriptor_->enumerators[std::string(name)];
  enumerator.name = name;
  enumerator.value = value;
  enumerator.description = description;
  enumerator.owner = descriptor_;
  return *this;
}

TypeBuilder& TypeBuilder::SetDescription(std::string_view description) {
  if (!existing_) descriptor_->description = description;
  return *this;
}

TypeBuilder& TypeBuilder::AddTag(std::string_view tag) {
  if (!existing_ && !tag.empty()) descriptor_->tags.emplace_back(tag);
  return *this;
}

TypeBuilder& TypeBuilder::AddTags(std::initializer_list<std::string_view> tags) {
  for (std::string_view tag : tags) AddTag(tag);
  return *this;
}

// ---- BindingRegistry --------------------------------------------------------

TypeBuilder BindingRegistry::RegisterType(std::size_t size, std::string_view name,
                                          const TypeIdentity& identity, bool isEnum) {
  std::lock_guard lock(mutex_);
  if (auto position = typesByName_.find(name); position != typesByName_.end()) {
    return TypeBuilder(this, position->second.get(), true);
  }
  auto descriptor = std::make_unique<BindingTypeDescriptor>();
  descriptor->size = static_cast<std::uint32_t>(size);
  descriptor->isEnum = isEnum;
  descriptor->name = name;
  descriptor->identityHash = identity.hash;
  descriptor->identity = identity;
  descriptor->registry = this;
  BindingTypeDescriptor* raw = descriptor.get();
  typesByName_.emplace(std::string(name), std::move(descriptor));
  if (!StaticType::IsNoType(identity)) typesByHash_.emplace(identity.hash, raw);
  return TypeBuilder(this, raw, false);
}

const BindingTypeDescriptor* BindingRegistry::FindType(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto position = typesByName_.find(name);
  return position == typesByName_.end() ? nullptr : position->second.get();
}

const BindingTypeDescriptor* BindingRegistry::FindTypeByIdentity(
    const TypeIdentity& identity) const {
  return FindTypeByHash(identity.hash);
}

const BindingTypeDescriptor* BindingRegistry::FindTypeByHash(std::uint32_t hash) const {
  std::lock_guard lock(mutex_);
  auto position = typesByHash_.find(hash);
  return position == typesByHash_.end() ? nullptr : position->second;
}

std::vector<const BindingTypeDescriptor*> BindingRegistry::Types() const {
  std::lock_guard lock(mutex_);
  std::vector<const BindingTypeDescriptor*> types;
  types.reserve(typesByName_.size());
  for (const auto& [name, descriptor] : typesByName_) types.push_back(descriptor.get());
  return types;
}

BindingFunctionDescriptor* BindingRegistry::RegisterFunction(std::string_view name,
                                                             bool& existing) {
  std::lock_guard lock(mutex_);
  if (auto position = functionsByName_.find(name); position != functionsByName_.end()) {
    existing = true;
    return position->second.get();
  }
  auto function = std::make_unique<BindingFunctionDescriptor>();
  function->name = name;
  function->nameHash = Fnv1a(name);
  function->registry = this;
  BindingFunctionDescriptor* raw = function.get();
  functionsByName_.emplace(std::string(name), std::move(function));
  existing = false;
  return raw;
}

const BindingFunctionDescriptor* BindingRegistry::FindFunction(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto position = functionsByName_.find(name);
  return position == functionsByName_.end() ? nullptr : position->second.get();
}

void BindingRegistry::RemoveFunction(std::string_view name) {
  std::lock_guard lock(mutex_);
  if (auto position = functionsByName_.find(name); position != functionsByName_.end()) {
    functionsByName_.erase(position);
  }
}

std::vector<const BindingFunctionDescriptor*> BindingRegistry::Functions() const {
  std::lock_guard lock(mutex_);
  std::vector<const BindingFunctionDescriptor*> functions;
  functions.reserve(functionsByName_.size());
  for (const auto& [name, function] : functionsByName_) functions.push_back(function.get());
  return functions;
}

std::size_t BindingRegistry::FunctionCount() const {
  std::lock_guard lock(mutex_);
  return functionsByName_.size();
}

const BindingEventDescriptor* BindingRegistry::AddEvent(BindingEventDescriptor event) {
  std::lock_guard lock(mutex_);
  for (const BindingEventDescriptor& declared : events_) {
    if (declared.name == event.name) return &declared;
  }
  return &events_.emplace_back(std::move(event));
}

const BindingEventDescriptor* BindingRegistry::FindEvent(std::string_view name) const {
  std::lock_guard lock(mutex_);
  for (const BindingEventDescriptor& declared : events_) {
    if (declared.name == name) return &declared;
  }
  return nullptr;
}

std::vector<const BindingEventDescriptor*> BindingRegistry::Events() const {
  std::lock_guard lock(mutex_);
  std::vector<const BindingEventDescriptor*> events;
  events.reserve(events_.size());
  for (const BindingEventDescriptor& declared : events_) events.push_back(&declared);
  return events;
}

void BindingRegistry::Clear() {
  std::lock_guard lock(mutex_);
  functionsByName_.clear();
  events_.clear();
  typesByHash_.clear();
  typesByName_.clear();
  initialized_ = false;
}

bool BindingRegistry::IsInitialized() const {
  std::lock_guard lock(mutex_);
  return initialized_;
}

void BindingRegistry::MarkInitialized() {
  std::lock_guard lock(mutex_);
  initialized_ = true;
}

}  // namespace Corvan
