// The plugin-manager records every plugin registers, and the events every
// plugin declares.
//
// Resource events travel as PluginResourceEvent, messages of the LCDS
// connection as PluginLcdsEvent, service proxy messages as
// PluginServiceProxyResponse (ServiceProxy.h). RegisterPluginManagerTypes
// registers them all and declares "OnJsonApiEvent", "OnLcdsEvent" and the
// three service proxy events:
//
//   BindingRegistry registry;
//   RegisterPluginManagerTypes(registry);
//   registry.FindEvent("OnJsonApiEvent");   // payload PluginResourceEvent
#pragma once

#include <cstdint>
#include <string>

#include "binding/BindingProperty.h"
#include "binding/StaticType.h"

namespace Corvan {

class BindingRegistry;

enum class PluginManagerState : std::int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : std::int32_t {
  Create = 0,
  Update = 1,
  Delete = 2,
};

struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  BindingProperty data;
};

struct PluginLcdsEvent {
  std::string clientId;
  std::string subtopic;
  std::string typeName;
  BindingProperty body;
};

struct PluginLcdsResponse {
  std::string typeName;
  BindingProperty body;
};

// Registers the records above and PluginServiceProxyResponse, in that order
// of dependence, and declares the five plugin-manager events.
void RegisterPluginManagerTypes(BindingRegistry& registry);

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::PluginManagerState, "enum Corvan::PluginManagerState")
KYN_TYPE_TEXT(Corvan::PluginManagerResource, "struct Corvan::PluginManagerResource")
KYN_TYPE_TEXT(Corvan::PluginResourceEventType, "enum Corvan::PluginResourceEventType")
KYN_TYPE_TEXT(Corvan::PluginResourceEvent, "struct Corvan::PluginResourceEvent")
KYN_TYPE_TEXT(Corvan::PluginLcdsEvent, "struct Corvan::PluginLcdsEvent")
KYN_TYPE_TEXT(Corvan::PluginLcdsResponse, "struct Corvan::PluginLcdsResponse")
