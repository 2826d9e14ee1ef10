// A small plugin module that follows the host boundary, for the host's
// tests: it is loaded through load_kyn_highlights like any plugin, built
// from the framework's router and description, with its callbacks filled
// by hand.
//
//   GET    /kyn-test/v1/items          the items
//   GET    /kyn-test/v1/items/{id}     one item, 404 "No item with specified ID"
//   PUT    /kyn-test/v1/items/{id}     replaces an item (JSON body); publishes the list
//   DELETE /kyn-test/v1/items/{id}     removes it: the empty success result
//   GET    /kyn-test/v1/refuse         an error without a status
//   GET    /kyn-test/v1/observed       what it learned from the host's resources
//   GET    /kyn-test/v1/loopback       reads item 1 through the host's callEndpoint
//   GET    /kyn-highlights/v1/highlights  the ".webm" files of the folder, as records
//                                      with a "filepath", read anew at every call
//
// Initialize subscribes to the two host resources' event names and reads
// both through callEndpoint; Shutdown unsubscribes and destroys the plugin.
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingRegistry.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"
#include "logging/Allocation.h"
#include "plugin/EventNames.h"
#include "plugin/PluginManagerTypes.h"
#include "routing/Reply.h"
#include "routing/Router.h"

namespace TestPlugin {
struct Item {
  std::uint64_t id = 0;
  std::string name;
};
struct Video {
  std::string filepath;
};
struct Observed {
  bool enabled = false;
  std::string folder;
  std::uint32_t configEvents = 0;
  std::uint32_t settingsEvents = 0;
  std::string lastEventType;
};
}  // namespace TestPlugin

KYN_TYPE_TEXT(TestPlugin::Item, "struct TestPlugin::Item")
KYN_TYPE_TEXT(TestPlugin::Observed, "struct TestPlugin::Observed")
KYN_TYPE_TEXT(TestPlugin::Video, "struct TestPlugin::Video")

namespace TestPlugin {
namespace {

using namespace Corvan;

constexpr const char* kConfigPath = "/kyn-platform-config/v1/namespaces/Highlights";
constexpr const char* kSettingsPath = "/kyn-settings/v1/local/kyn-replays";
constexpr const char* kItemsPath = "/kyn-test/v1/items";

class Plugin {
 public:
  Plugin() {
    callbacks_.initialize = &Plugin::Initialize;
    callbacks_.shutdown = &Plugin::Shutdown;
    callbacks_.getMemoryStats = &Plugin::MemoryStats;
    items_ = {{1, "first"}, {2, "second"}};
    Register();
  }

  void Fill(PluginLoadBlock& block) {
    block.callbacks = &callbacks_;
    block.context = this;
    block.shortName = "kyn-test";
    block.apiDescription = &router_.BuildDescription();
  }

  std::vector<Item> List() {
    std::lock_guard<std::mutex> guard(lock_);
    return items_;
  }

  Reply<Item> GetItem(std::uint64_t id) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Item& item : items_) {
      if (item.id == id) return item;
    }
    return NotFound("No item with specified ID");
  }

  Reply<Item> PutItem(std::uint64_t id, const Item& body) {
    Item stored{id, body.name};
    {
      std::lock_guard<std::mutex> guard(lock_);
      std::erase_if(items_, [id](const Item& item) { return item.id == id; });
      items_.push_back(stored);
    }
    PublishItems();
    return stored;
  }

  EmptyReply DeleteItem(std::uint64_t id) {
    std::lock_guard<std::mutex> guard(lock_);
    if (std::erase_if(items_, [id](const Item& item) { return item.id == id; }) == 0) {
      return NotFound();
    }
    return EmptySuccess();
  }

  Reply<Item> Refuse() { return ErrorReply(0, "Refused on purpose"); }

  Observed GetObserved() {
    std::lock_guard<std::mutex> guard(lock_);
    return observed_;
  }

  std::vector<Video> Videos() {
    std::vector<Video> videos;
    std::error_code error;
    const std::string folder = GetObserved().folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().extension() == ".webm") videos.push_back({entry.path().string()});
    }
    return videos;
  }

  BindingProperty Loopback() {
    BindingProperty value = CallHost(HTTP_METHOD_GET, "/kyn-test/v1/items/1");
    return value;
  }

 private:
  void Register() {
    RegisterPluginManagerTypes(registry_);
    registry_.RegisterType<Item>("TestItem")
        .AddField("id", "", &Item::id)
        .AddField("name", "", &Item::name, kFieldRequired);
    registry_.RegisterType<Video>("TestVideo").AddField("filepath", "", &Video::filepath);
    registry_.RegisterType<Observed>("TestObserved")
        .AddField("enabled", "", &Observed::enabled)
        .AddField("folder", "", &Observed::folder)
        .AddField("configEvents", "", &Observed::configEvents)
        .AddField("settingsEvents", "", &Observed::settingsEvents)
        .AddField("lastEventType", "", &Observed::lastEventType);
    router_.Get(kItemsPath, this, &Plugin::List);
    router_.Get("/kyn-test/v1/items/{id}", this, &Plugin::GetItem).AddPathArgument("id", "");
    router_.Put("/kyn-test/v1/items/{id}", this, &Plugin::PutItem)
        .AddPathArgument("id", "")
        .AddBodyArgument("item", "");
    router_.Delete("/kyn-test/v1/items/{id}", this, &Plugin::DeleteItem)
        .AddPathArgument("id", "");
    router_.Get("/kyn-test/v1/refuse", this, &Plugin::Refuse);
    router_.Get("/kyn-test/v1/observed", this, &Plugin::GetObserved);
    router_.Get("/kyn-test/v1/loopback", this, &Plugin::Loopback);
    router_.Get("/kyn-highlights/v1/highlights", this, &Plugin::Videos);
  }

  static bool KYN_CALL Initialize(void* context, const HostLink* link) {
    auto* self = static_cast<Plugin*>(context);
    self->link_ = link;
    HostApi* api = link->api;
    for (const char* path : {kConfigPath, kSettingsPath}) {
      api->subscribe(api, EventNameOfPath(path).c_str(), link->connectionId, &Plugin::OnEvent,
                     self, SUBSCRIBE_RESOURCE_EVENTS);
      self->Apply(path, self->CallHost(HTTP_METHOD_GET, path));
    }
    api->writeLog(api, LOG_LEVEL_OKAY, "kyn-test: started");
    return true;
  }

  static void KYN_CALL Shutdown(void* context) {
    auto* self = static_cast<Plugin*>(context);
    if (self->link_ != nullptr) {
      HostApi* api = self->link_->api;
      for (const char* path : {kConfigPath, kSettingsPath}) {
        api->unsubscribe(api, EventNameOfPath(path).c_str(), self->link_->connectionId);
      }
    }
    delete self;
  }

  static void KYN_CALL MemoryStats(void*, PluginMemoryStats* out) {
    const MemoryCounters counters = GetMemoryStats();
    *out = {};
    out->peakBytesInUse = counters.peakBytesInUse;
    out->allocationCount = counters.allocationCount;
  }

  static void KYN_CALL OnEvent(const HostEvent* event) {
    auto* self = static_cast<Plugin*>(event->userData);
    BindingProperty payload;
    FlatResult report{};
    if (!FromFlatProperty(event->payload, payload, report, "<payload>")) {
      ReleaseFlatResult(report);
      return;
    }
    const BindingProperty* uri = payload.FindField("uri");
    const BindingProperty* data = payload.FindField("data");
    const BindingProperty* type = payload.FindField("eventType");
    if (uri == nullptr || data == nullptr) return;
    std::string path(uri->GetStringView());
    {
      std::lock_guard<std::mutex> guard(self->lock_);
      (path == kConfigPath ? self->observed_.configEvents : self->observed_.settingsEvents)++;
      if (type != nullptr) self->observed_.lastEventType = std::string(type->GetStringView());
    }
    self->Apply(path, *data);
  }

  void Apply(const std::string& path, const BindingProperty& value) {
    std::lock_guard<std::mutex> guard(lock_);
    if (path == kConfigPath) {
      const BindingProperty* enabled = value.FindField("Enabled");
      if (enabled != nullptr) observed_.enabled = enabled->GetBool();
      return;
    }
    const BindingProperty* data = value.FindField("data");
    const BindingProperty* folder = data != nullptr ? data->FindField("highlights-folder-path")
                                                    : nullptr;
    if (folder != nullptr) observed_.folder = std::string(folder->GetStringView());
  }

  // Calls the host's callEndpoint and returns the value (empty on error);
  // the response goes back through its release function.
  BindingProperty CallHost(std::uint32_t method, const char* path) {
    HostRequest request{};
    request.method = method;
    request.path = path;
    request.callerId = link_->connectionId;
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    link_->api->callEndpoint(link_->api, &response, &request);
    BindingProperty value;
    FlatResult report{};
    if (response.result.hasError != 0 ||
        !FromFlatProperty(ResultValue(response.result), value, report, "<value>")) {
      value.SetEmpty();
    }
    ReleaseFlatResult(report);
    const HostResponseReleaseFunction release = response.release;
    if (release != nullptr) release(&response);
    return value;
  }

  void PublishItems() {
    BindingResult converted;
    if (!ConvertNative(converted, List(), &registry_)) return;
    BindingProperty event;
    event.Field("uri").SetString(kItemsPath);
    event.Field("eventType").SetString("Update");
    event.Field("data") = converted.property;
    FlatProperty payload{};
    ToFlatProperty(event, payload, &registry_);
    HostApi* api = link_->api;
    const std::string name = EventNameOfPath(kItemsPath);
    for (const char* eventName : {name.c_str(), "OnJsonApiEvent"}) {
      HostEvent published{};
      published.name = eventName;
      published.payload = payload;
      api->publishEvent(api, &published);
    }
    ReleaseFlatProperty(payload);
  }

  BindingRegistry registry_;
  Router router_{registry_};
  PluginCallbacks callbacks_{};
  const HostLink* link_ = nullptr;
  std::mutex lock_;
  std::vector<Item> items_;
  Observed observed_;
};

}  // namespace
}  // namespace TestPlugin

extern "C" KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block) {
  if (block == nullptr) return;
  const std::uint32_t major = block->apiVersionMajor;
  block->apiVersionMajor = 18;
  block->apiVersionMinor = 0;
  block->apiVersionPatch = 0;
  if (major != 18) return;  // refused: the out fields stay unset
  auto* plugin = new TestPlugin::Plugin();
  plugin->Fill(*block);
}
