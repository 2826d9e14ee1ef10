#include "plugin/PluginName.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "logging/LogTarget.h"
#include "logging/Logger.h"

namespace Corvan {
namespace {

struct Logged {
  std::int32_t level;
  std::uint64_t categories;
  std::string message;
};

class CapturingTarget final : public LogTarget {
 public:
  bool Write(const LogRecord& record) override {
    std::lock_guard guard(mutex_);
    lines.push_back({record.level, record.categories, record.message});
    return true;
  }
  std::vector<Logged> lines;

 private:
  std::mutex mutex_;
};

class PluginNameTest : public testing::Test {
 protected:
  void SetUp() override {
    GetLoggerInterface()->addRef();
    LogTargetSettings settings;
    settings.level = kLogOkay;
    target_.Configure(settings);
  }
  void TearDown() override {
    target_.Unregister();
    GetLoggerInterface()->release();
  }
  CapturingTarget target_;
};

TEST_F(PluginNameTest, KnownTypesGetTheirPrefixWithoutLogging) {
  struct Case {
    const char* shortName;
    const char* type;
    const char* fullName;
  };
  const Case cases[] = {
      {"kyn-highlights", "backend", "tqp-be-kyn-highlights"},
      {"viewer", "frontend", "tqp-fe-viewer"},
      {"", "backend", "tqp-be-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fullName);
    const PluginName name = MakePluginName(c.shortName, c.type);
    EXPECT_EQ(name.fullName, c.fullName);
    EXPECT_EQ(name.shortName, c.shortName);
    EXPECT_EQ(name.type, c.type);
    EXPECT_TRUE(name.secondType.empty());
  }
  EXPECT_TRUE(target_.lines.empty());
}

TEST_F(PluginNameTest, UnknownTypeFallsBackAndLogsOneError) {
  const char* types[] = {"Backend", "", "service", "%s%n"};
  for (const char* type : types) {
    SCOPED_TRACE(type);
    target_.lines.clear();
    EXPECT_EQ(GetFullNameFromShortNameAndType("p", type), "tqp-xx-p");
    ASSERT_EQ(target_.lines.size(), 1u);
    EXPECT_EQ(target_.lines[0].level, kLogError);
    EXPECT_EQ(target_.lines[0].categories, LogCategory::DBG);
    EXPECT_EQ(target_.lines[0].message,
              std::string("            Plugin Manager| GetFullNameFromShortNameAndType(\"p\", \"") +
                  type + "\") called with an unknown type");
  }
}

}  // namespace
}  // namespace Corvan
