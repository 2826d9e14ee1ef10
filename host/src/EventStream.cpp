#include "EventStream.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>

#include "JsonEncoding.h"

namespace Corvan::Host {

namespace {

// How long a stream stays silent before it sends a keep-alive comment.
constexpr auto kKeepAlive = std::chrono::seconds(5);

std::string FieldText(const BindingProperty* field) {
  return field != nullptr && field->kind() == PropertyKind::String
             ? std::string(field->GetStringView())
             : std::string();
}

}  // namespace

std::string EventJson(const PublishedEvent& event) {
  BindingProperty message;
  message.Field("eventName").SetString(event.name);
  const BindingProperty& payload = event.payload;
  const bool resourceEvent = payload.kind() == PropertyKind::Structure &&
                             payload.FindField("uri") != nullptr &&
                             payload.FindField("eventType") != nullptr;
  if (resourceEvent) {
    message.Field("uri").SetString(FieldText(payload.FindField("uri")));
    message.Field("eventType").SetString(FieldText(payload.FindField("eventType")));
    const BindingProperty* data = payload.FindField("data");
    if (data != nullptr) message.Field("data") = *data;
  } else {
    message.Field("uri").SetString("");
    message.Field("eventType").SetString("");
    message.Field("data") = payload;
  }
  // Structure keys come out ordered by their bytes; the four names need no
  // particular order.
  return PropertyToJson(message);
}

void EventStream::Broadcast(const PublishedEvent& event) {
  const std::string text = "data: " + EventJson(event) + "\n\n";
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::shared_ptr<Client>& client : clients_) {
      if (client->queue.size() == kQueueLimit) client->queue.pop_front();
      client->queue.push_back(text);
    }
  }
  changed_.notify_all();
}

void EventStream::Serve(httplib::Response& response) {
  auto client = std::make_shared<Client>();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!closed_) {
      // A first comment lets the client see at once that the stream is open.
      client->queue.push_back(": connected\n\n");
      clients_.push_back(client);
    }
  }
  response.set_header("Cache-Control", "no-cache");
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, client](std::size_t, httplib::DataSink& sink) {
        const std::string text = Next(client);
        if (text.empty() || !sink.is_writable()) {
          sink.done();
          return false;
        }
        return sink.write(text.data(), text.size());
      },
      [this, client](bool) { Drop(client); });
}

std::string EventStream::Next(const std::shared_ptr<Client>& client) {
  std::unique_lock<std::mutex> guard(lock_);
  const bool woken = changed_.wait_for(guard, kKeepAlive, [&] {
    return closed_ || !client->queue.empty();
  });
  if (closed_) return "";
  if (!woken) return ": keep-alive\n\n";
  std::string text = std::move(client->queue.front());
  client->queue.pop_front();
  return text;
}

void EventStream::Drop(const std::shared_ptr<Client>& client) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase(clients_, client);
}

void EventStream::Close() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
  }
  changed_.notify_all();
}

std::size_t EventStream::ClientCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clients_.size();
}

}  // namespace Corvan::Host
