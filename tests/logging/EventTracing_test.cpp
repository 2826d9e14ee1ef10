#include "logging/EventTracing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>

namespace Corvan {
namespace {

using Platform::kEventControlCaptureState;
using Platform::kEventControlDisable;
using Platform::kEventControlEnable;

// Event 0 matches every session, 1 is a verbose one with keyword 0x1, 2 a
// warning with keywords 0x6, 3 an error with keyword 0x8.
constexpr TraceEventInfo kEvents[] = {{0, 0}, {5, 0x1}, {3, 0x6}, {2, 0x8}};

std::uint64_t EnabledBits(const TraceProviderState& state) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < std::size(kEvents); ++i) {
    if (IsTraceEventEnabled(state, i)) bits |= std::uint64_t{1} << i;
  }
  return bits;
}

void Bind(TraceProviderState& state) {
  state.events = kEvents;
  state.eventCount = std::size(kEvents);
}

TEST(EventTracing, EnableSetsEachEventByLevelAndKeywords) {
  struct Case {
    const char* name;
    std::uint8_t level;
    std::uint64_t matchAny;
    std::uint64_t matchAll;
    std::uint64_t expectedBits;
  };
  constexpr Case kCases[] = {
      {"level 0 and no keywords: only events without a mask", 0, 0, 0, 0b0001},
      {"level 0 takes every level", 0, ~std::uint64_t{0}, 0, 0b1111},
      {"an event's level above the session's is off", 3, ~std::uint64_t{0}, 0, 0b1101},
      {"level equal to the session's is on", 2, ~std::uint64_t{0}, 0, 0b1001},
      {"one shared keyword bit is enough", 0, 0x2, 0, 0b0101},
      {"match-all needs every one of its bits", 0, 0xF, 0x6, 0b0101},
      {"match-all beyond an event's mask", 0, 0xF, 0x3, 0b0001},
      {"match-all without match-any matches nothing masked", 0, 0, 0x8, 0b0001},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TraceProviderState state;
    Bind(state);
    ApplyTraceControl(state, kEventControlEnable, c.level, c.matchAny, c.matchAll);
    EXPECT_TRUE(state.enabled);
    EXPECT_EQ(state.level, c.level);
    EXPECT_EQ(state.matchAnyKeyword, c.matchAny);
    EXPECT_EQ(state.matchAllKeyword, c.matchAll);
    EXPECT_EQ(EnabledBits(state), c.expectedBits);
  }
}

TEST(EventTracing, LaterControlCodes) {
  TraceProviderState state;
  Bind(state);
  ApplyTraceControl(state, kEventControlEnable, 0, 0xF, 0);
  ASSERT_EQ(EnabledBits(state), 0b1111u);

  // A new enable replaces the previous session's choice.
  ApplyTraceControl(state, kEventControlEnable, 2, 0x8, 0);
  EXPECT_EQ(EnabledBits(state), 0b1001u);

  // Capture-state and unknown codes change nothing.
  for (const std::uint32_t code : {kEventControlCaptureState, std::uint32_t{7}}) {
    ApplyTraceControl(state, code, 0, 0, 0);
    EXPECT_TRUE(state.enabled);
    EXPECT_EQ(state.level, 2);
    EXPECT_EQ(state.matchAnyKeyword, 0x8u);
    EXPECT_EQ(EnabledBits(state), 0b1001u);
  }

  // Disable clears everything, also the events that match every session.
  ApplyTraceControl(state, kEventControlDisable, 4, 0xF, 0xF);
  EXPECT_FALSE(state.enabled);
  EXPECT_EQ(state.level, 0);
  EXPECT_EQ(state.matchAnyKeyword, 0u);
  EXPECT_EQ(state.matchAllKeyword, 0u);
  EXPECT_EQ(EnabledBits(state), 0u);
}

#if !defined(_WIN32)
TEST(EventTracing, NothingIsRegisteredWithoutSystemTracing) {
  for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetTraceProvider(i).registration.handle, 0u);
  }
  EXPECT_FALSE(WriteMainThreadEvent());
}
#endif

}  // namespace
}  // namespace Corvan
