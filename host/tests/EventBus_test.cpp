#include "EventBus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "binding/FlatProperty.h"
#include "support/HostTestSupport.h"

namespace Corvan::Host {
namespace {

using HostTestSupport::WaitFor;

// What the callbacks below saw; the bus hands it back as user data.
struct Seen {
  EventBus* bus = nullptr;
  std::mutex lock;
  std::vector<std::string> texts;
  std::atomic<int> calls = 0;
  std::atomic<bool> release = true;
};

std::string TextOf(const HostEvent* event) {
  BindingProperty value;
  FlatResult report{};
  if (!FromFlatProperty(event->payload, value, report, "<payload>")) ReleaseFlatResult(report);
  return std::string(event->name) + "=" + std::string(value.GetStringView());
}

void KYN_CALL Record(const HostEvent* event) {
  auto* seen = static_cast<Seen*>(event->userData);
  std::lock_guard<std::mutex> guard(seen->lock);
  seen->texts.push_back(TextOf(event));
  ++seen->calls;
}

// Publishes a reply and unsubscribes itself, both from inside the callback.
void KYN_CALL Answer(const HostEvent* event) {
  auto* seen = static_cast<Seen*>(event->userData);
  BindingProperty reply;
  reply.SetString("reply");
  seen->bus->Publish("reply", reply);
  seen->bus->Unsubscribe("ask", 1);
  ++seen->calls;
}

void KYN_CALL Block(const HostEvent* event) {
  auto* seen = static_cast<Seen*>(event->userData);
  ++seen->calls;
  while (!seen->release) std::this_thread::yield();
}

BindingProperty Text(const char* text) {
  BindingProperty value;
  value.SetString(text);
  return value;
}

TEST(EventBus, EventsReachTheSubscribersOfTheirNameInOrder) {
  EventBus bus;
  Seen seen;
  bus.Subscribe("a", 1, &Record, &seen);
  bus.Subscribe("b", 2, &Record, &seen);
  bus.Subscribe("a", 1, &Record, &seen);  // replaces, no second delivery
  bus.Publish("a", Text("1"));
  bus.Publish("c", Text("nobody"));
  bus.Publish("b", Text("2"));
  bus.Publish("a", Text("3"));
  bus.Stop();  // delivers what was queued
  EXPECT_EQ(seen.texts, (std::vector<std::string>{"a=1", "b=2", "a=3"}));
  bus.Publish("a", Text("late"));
  EXPECT_EQ(seen.calls, 3);
}

TEST(EventBus, CallbacksMayPublishAndUnsubscribe) {
  EventBus bus;
  Seen seen;
  seen.bus = &bus;
  bus.Subscribe("ask", 1, &Answer, &seen);
  Seen replies;
  bus.Subscribe("reply", 1, &Record, &replies);
  bus.Publish("ask", Text(""));
  bus.Publish("ask", Text(""));
  EXPECT_TRUE(WaitFor([&] { return replies.calls == 1; }));
  bus.Stop();
  EXPECT_EQ(seen.calls, 1);  // unsubscribed before the second "ask"
  EXPECT_EQ(bus.SubscriptionCount(), 1u);
}

TEST(EventBus, UnsubscribeWaitsForTheCallbackRunningNow) {
  EventBus bus;
  Seen seen;
  seen.release = false;
  bus.Subscribe("slow", 1, &Block, &seen);
  bus.Publish("slow", Text(""));
  ASSERT_TRUE(WaitFor([&] { return seen.calls == 1; }));
  std::atomic<bool> returned = false;
  std::thread unsubscriber([&] {
    bus.Unsubscribe("slow", 1);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned);
  seen.release = true;
  unsubscriber.join();
  EXPECT_TRUE(returned);
  bus.Publish("slow", Text(""));
  bus.Stop();
  EXPECT_EQ(seen.calls, 1);
}

}  // namespace
}  // namespace Corvan::Host
