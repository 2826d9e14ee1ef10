#include "EventStream.h"

#include <algorithm>

#include "JsonEncoding.h"

namespace Corvan::Host {

namespace {

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

EventStream::EventStream(std::size_t clientLimit) : clientLimit_(clientLimit) {}

void EventStream::Broadcast(const PublishedEvent& event) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (sinks_.empty()) return;  // no text to make for nobody
  }
  const auto text = std::make_shared<const std::string>("data: " + EventJson(event) + "\n\n");
  std::lock_guard<std::mutex> guard(lock_);
  for (const std::shared_ptr<EventSink>& sink : sinks_) sink->Push(text);
}

bool EventStream::TryAdd(std::shared_ptr<EventSink> sink) {
  std::lock_guard<std::mutex> guard(lock_);
  if (closed_ || sinks_.size() >= clientLimit_) return false;
  sinks_.push_back(std::move(sink));
  return true;
}

void EventStream::Remove(const EventSink* sink) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase_if(sinks_, [sink](const std::shared_ptr<EventSink>& s) { return s.get() == sink; });
}

void EventStream::Close() {
  std::vector<std::shared_ptr<EventSink>> ended;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    ended.swap(sinks_);
  }
  for (const std::shared_ptr<EventSink>& sink : ended) sink->End();
}

std::size_t EventStream::ClientCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return sinks_.size();
}

}  // namespace Corvan::Host
