// HostServices: the HostApi table the plugin receives in its HostLink.
//
//   0 callEndpoint   the host's own resources (HostResources), else the
//                    plugin's own functions (matched by their templates),
//                    else the error "Not found" with status 404
//   2 publishEvent   the payload is copied and queued on the EventBus
//   3 subscribe / 4 unsubscribe   kept by the EventBus
//   1, 5 unused; 6-8 (waits) do nothing; 9 writeLog to standard error
//
// Responses filled for slot 0 are written by the framework's response
// writer and carry its release function; a plugin response met on the way
// (slot 0 into the plugin's own function) is copied and released through
// its own release function once, its stream handed on to the caller.
//
//   HostServices services(bus, resources);
//   services.AttachPlugin(&functions, "kyn-highlights");
//   module.Initialize(services.Link());
#pragma once

#include <string>

#include "EventBus.h"
#include "HostResources.h"
#include "PluginFunctions.h"
#include "abi/HostAbi.h"

namespace Corvan::Host {

// The ConnectionId the plugin is given.
inline constexpr ConnectionId kPluginConnection = 1;

class HostServices {
 public:
  HostServices(EventBus& bus, HostResources& resources);
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  // Lets slot 0 reach the plugin's functions and names its log lines;
  // called before the plugin is initialised.
  void AttachPlugin(const PluginFunctions* functions, std::string logName);

  // The link handed to initialize; valid as long as this object.
  const HostLink* Link() const { return &link_; }

  // Slot 0: answers the request into the zero-filled `out`.
  void CallEndpoint(HostResponse& out, const HostRequest& request);

 private:
  struct Table {
    HostApi api;  // first, so that the slots find the table from their argument
    HostServices* owner;
  };
  static HostServices& From(HostApi* api);

  static void KYN_CALL SlotCallEndpoint(HostApi* api, HostResponse* out, const HostRequest* r);
  static void KYN_CALL SlotReserved1(HostApi* api, std::uint32_t, std::uint32_t);
  static void KYN_CALL SlotPublish(HostApi* api, const HostEvent* event);
  static void KYN_CALL SlotSubscribe(HostApi* api, const char* name, ConnectionId connection,
                                     HostEventCallback callback, void* userData,
                                     std::uint32_t flag);
  static void KYN_CALL SlotUnsubscribe(HostApi* api, const char* name, ConnectionId connection);
  static void KYN_CALL SlotReserved5(HostApi* api, std::uint32_t, std::uint32_t, std::uint32_t,
                                     double, std::uint32_t);
  static void KYN_CALL SlotRunPendingWork(HostApi* api);
  static void KYN_CALL SlotBeginWait(HostApi* api, const char* label, std::uint32_t word);
  static void KYN_CALL SlotEndWait(HostApi* api);
  static void KYN_CALL SlotWriteLog(HostApi* api, std::int32_t level, const char* message);

  void AnswerFromResources(HostResponse& out, const HostRequest& request);
  void AnswerFromPlugin(HostResponse& out, const HostRequest& request,
                        const FunctionDescriptor& descriptor);

  EventBus& bus_;
  HostResources& resources_;
  const PluginFunctions* functions_ = nullptr;
  std::string logName_ = "plugin";
  Table table_;
  HostLink link_;
};

}  // namespace Corvan::Host
