#include "plugin/PluginLogTarget.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "logging/Logger.h"

namespace Corvan {
namespace {

std::vector<std::pair<std::int32_t, std::string>> g_written;

void KYN_CALL RecordWrite(HostApi*, std::int32_t level, const char* message) {
  g_written.emplace_back(level, message);
}

class PluginLogTargetTest : public testing::Test {
 protected:
  void SetUp() override {
    GetLoggerInterface()->addRef();
    g_written.clear();
    api_.writeLog = &RecordWrite;
  }
  void TearDown() override {
    if (target_) target_->Unregister();
    target_.reset();
    GetLoggerInterface()->release();
  }
  HostApi api_{};
  std::unique_ptr<PluginLogTarget> target_;
};

TEST_F(PluginLogTargetTest, ForwardsBareMessagesOfEveryLevelButDropsXtr) {
  InstallPluginLogTarget(target_, &api_);
  Log(kLogOkay, LogCategory::GEN, "ready %d", 3);
  Log(kLogError, LogCategory::DBG, "broken");
  Log(kLogAlways, LogCategory::XTR, "noise");
  ASSERT_EQ(g_written.size(), 2u);
  EXPECT_EQ(g_written[0], std::make_pair(kLogOkay, std::string("ready 3")));
  EXPECT_EQ(g_written[1], std::make_pair(kLogError, std::string("broken")));
  // The console target no longer writes the plugin's lines.
  LogTargetInterface* stdErr = GetLoggerInterface()->stdErrTarget();
  ASSERT_NE(stdErr, nullptr);
  EXPECT_FALSE(stdErr->isRegistered(stdErr));
}

TEST_F(PluginLogTargetTest, SecondInstallationKeepsTheFirstTarget) {
  InstallPluginLogTarget(target_, &api_);
  PluginLogTarget* first = target_.get();
  InstallPluginLogTarget(target_, &api_);
  EXPECT_EQ(target_.get(), first);
  Log(kLogWarn, LogCategory::GEN, "once");
  EXPECT_EQ(g_written.size(), 1u);
}

}  // namespace
}  // namespace Corvan
