// ScriptedHost: a fake host function table for tests of code that calls the
// host (endpoint calls, events, subscriptions, waits, logging).
//
//   ScriptedHost host;
//   host.Answer("/kyn-settings/v1/local/x", ScriptedAnswer::Error("Not found", 404));
//   EndpointClient client(host.api(), 7, &registry);
//   ... client.Call(HttpMethod::Get, "/kyn-settings/v1/local/x") ...
//   EXPECT_EQ(host.calls().size(), 1u);
//   EXPECT_EQ(host.responseReleases(), 1);
//
// Every slot of the table is filled and records what it receives, copied, so
// tests inspect it after the call. callEndpoint answers from a script by path
// (the path without its query); an unscripted path is answered with status
// 404 and error text "Not found". Responses are filled the way a host fills
// them, with heap texts and a release function that frees them and counts its
// calls; streams count their reads and releases.
//
// The release functions of the ABI carry no context, so they count on the
// most recently created ScriptedHost still alive: nest hosts, do not
// interleave them. The slots may be called from several threads at once;
// read the records once those threads are done.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace TestSupport {

// One read of a scripted stream: the bytes it delivers and the more-data
// byte it leaves; `fails` makes the read return false instead.
struct ScriptedChunk {
  std::string bytes;
  bool moreData = false;
  bool fails = false;
};

// How callEndpoint answers one path.
struct ScriptedAnswer {
  // The value on success (FLAT_NULL when unset).
  std::optional<Corvan::BindingProperty> value;
  // A flat value used instead of `value`, as is (for malformed answers);
  // the test owns whatever it points at.
  std::optional<FlatProperty> rawValue;
  // Error text; with `errorFlagOnly` has-error is set and the text left null.
  std::optional<std::string> error;
  bool errorFlagOnly = false;
  std::uint32_t status = 200;
  // A stream answer: its chunks in order, and the size hint.
  std::optional<std::vector<ScriptedChunk>> stream;
  std::uint32_t streamSizeHint = 0;
  // A stream without read function (with `stream` set).
  bool nullStreamRead = false;
  // Leaves the response's release function null.
  bool noRelease = false;

  static ScriptedAnswer Value(Corvan::BindingProperty value, std::uint32_t status = 200);
  static ScriptedAnswer Error(std::string text, std::uint32_t status);
  static ScriptedAnswer Stream(std::vector<ScriptedChunk> chunks, std::uint32_t sizeHint = 0);
};

// One call of callEndpoint as the host saw it.
struct RecordedCall {
  std::uint32_t method = 0;
  std::string path;
  // Each direct argument read back, with whether it carried a name.
  std::vector<Corvan::BindingProperty> arguments;
  std::vector<bool> argumentNamed;
  bool functionContextNull = true;
  std::uint32_t headerCount = 0;
  bool contentTypeNull = true;
  bool bodyNull = true;
  ConnectionId callerId = 0;
  bool customMethodNull = true;
};

struct RecordedEvent {
  std::string name;
  Corvan::BindingProperty payload;
  std::uint32_t reserved = 0;
};

struct RecordedSubscription {
  std::string name;
  ConnectionId connection = 0;
  HostEventCallback callback = nullptr;
  void* userData = nullptr;
  std::uint32_t flag = 0;
};

struct RecordedLog {
  std::int32_t level = 0;
  std::string message;
};

class ScriptedHost {
 public:
  ScriptedHost();
  ~ScriptedHost();
  ScriptedHost(const ScriptedHost&) = delete;
  ScriptedHost& operator=(const ScriptedHost&) = delete;

  // The table to hand to the code under test.
  HostApi* api() { return &holder_.table; }

  // Whether published events keep their payloads (benchmarks turn it off:
  // reading a large payload back costs more than publishing it).
  void RecordEventPayloads(bool record) { recordPayloads_ = record; }

  // Scripts the answer for a path; a later script replaces an earlier one.
  void Answer(const std::string& path, ScriptedAnswer answer);

  const std::vector<RecordedCall>& calls() const { return calls_; }
  const std::vector<RecordedEvent>& events() const { return events_; }
  const std::vector<RecordedSubscription>& subscriptions() const { return subscriptions_; }
  const std::vector<std::pair<std::string, ConnectionId>>& unsubscriptions() const {
    return unsubscriptions_;
  }
  const std::vector<RecordedLog>& logs() const { return logs_; }
  // Stream reads and wait slots in the order they happened: "read",
  // "beginWait:<label>:<word>", "runPendingWork", "endWait".
  const std::vector<std::string>& trace() const { return trace_; }

  // Delivers an event to the callbacks of every subscription of `name` not
  // yet unsubscribed, with their user data, as a host does; returns how many
  // callbacks ran. The payload stays the test's, valid during the calls.
  int Deliver(const std::string& name, const Corvan::BindingProperty& payload);
  int DeliverFlat(const std::string& name, const FlatProperty& payload);

  int responseReleases() const { return responseReleases_; }
  int streamReleases() const { return streamReleases_; }

 private:
  struct Holder {
    HostApi table;
    ScriptedHost* host;
  };
  struct Stream;

  static ScriptedHost* From(HostApi* api);
  static void KYN_CALL CallEndpoint(HostApi* api, HostResponse* out, const HostRequest* request);
  static void KYN_CALL Reserved1(HostApi* api, std::uint32_t, std::uint32_t);
  static void KYN_CALL PublishEvent(HostApi* api, const HostEvent* event);
  static void KYN_CALL Subscribe(HostApi* api, const char* name, ConnectionId connection,
                                 HostEventCallback callback, void* userData, std::uint32_t flag);
  static void KYN_CALL Unsubscribe(HostApi* api, const char* name, ConnectionId connection);
  static void KYN_CALL Reserved5(HostApi* api, std::uint32_t, std::uint32_t, std::uint32_t, double,
                                 std::uint32_t);
  static void KYN_CALL RunPendingWork(HostApi* api);
  static void KYN_CALL BeginWait(HostApi* api, const char* label, std::uint32_t word);
  static void KYN_CALL EndWait(HostApi* api);
  static void KYN_CALL WriteLog(HostApi* api, std::int32_t level, const char* message);
  static void KYN_CALL ReleaseResponse(HostResponse* response);
  static bool KYN_CALL ReadStream(void* stream, std::uint8_t* buffer, std::uint32_t* byteCount,
                                  std::uint8_t* moreData);
  static void KYN_CALL ReleaseStream(void* stream);

  void Record(const HostRequest& request);
  void Fill(HostResponse& out, const ScriptedAnswer& answer);

  Holder holder_;
  std::recursive_mutex mutex_;
  ScriptedHost* previous_ = nullptr;
  std::map<std::string, ScriptedAnswer> script_;
  std::vector<RecordedCall> calls_;
  std::vector<RecordedEvent> events_;
  std::vector<RecordedSubscription> subscriptions_;
  std::vector<std::pair<std::string, ConnectionId>> unsubscriptions_;
  std::map<std::string, std::vector<RecordedSubscription>> active_;
  std::vector<RecordedLog> logs_;
  std::vector<std::string> trace_;
  // Responses whose value is a test's raw value, which release leaves alone.
  std::vector<HostResponse*> rawResponses_;
  // What answers without a release function hold; the host frees it itself.
  std::vector<FlatResult> keptResults_;
  bool recordPayloads_ = true;
  int responseReleases_ = 0;
  int streamReleases_ = 0;
};

}  // namespace TestSupport
