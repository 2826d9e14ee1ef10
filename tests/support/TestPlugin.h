// TestPlugin: a small plugin on PluginBase for the tests of the plugin
// machinery, used in-process and built as a module of its own
// (TestPluginModule.cpp, exported as load_kyn_highlights).
//
// It declares one record, TestSettings ("folder" required, "enabled"), one
// route, GET "/kyn-test/v1/settings", answering the settings last seen and
// logging one line at OKAY and one with the XTR category, and at start it
// subscribes to "/kyn-settings/v1/local/kyn-test", remembering every typed
// event it receives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "binding/StaticType.h"
#include "logging/Logger.h"
#include "plugin/PluginBase.h"

namespace TestSupport {

struct TestSettings {
  std::string folder;
  bool enabled = false;
};

struct SeenSettingsEvent {
  std::string uri;
  Corvan::PluginResourceEventType type = Corvan::PluginResourceEventType::Create;
  TestSettings value;
};

inline constexpr char kTestSettingsPath[] = "/kyn-settings/v1/local/kyn-test";

}  // namespace TestSupport

KYN_TYPE_TEXT(TestSupport::TestSettings, "struct TestSupport::TestSettings")

namespace TestSupport {

class TestPlugin : public Corvan::PluginBase {
 public:
  // What OnInitialize answers.
  bool startResult = true;
  std::vector<SeenSettingsEvent> seen;

  void RegisterApi() override {
    registry()
        .RegisterType<TestSettings>("TestSettings")
        .AddField("folder", "", &TestSettings::folder, Corvan::kFieldRequired)
        .AddField("enabled", "", &TestSettings::enabled);
    router().Get("/kyn-test/v1/settings", this, &TestPlugin::GetSettings);
  }

  bool OnInitialize() override {
    SubscribeToResource<TestSettings>(
        kTestSettingsPath, [this](const std::string& uri, Corvan::PluginResourceEventType type,
                                  const TestSettings& value) { seen.push_back({uri, type, value}); });
    return startResult;
  }

  TestSettings GetSettings() {
    Corvan::Log(Corvan::kLogOkay, Corvan::LogCategory::GEN, "kyn-test: settings read");
    Corvan::Log(Corvan::kLogOkay, Corvan::LogCategory::XTR, "kyn-test: extra detail");
    return seen.empty() ? TestSettings{} : seen.back().value;
  }

  static std::unique_ptr<Corvan::PluginBase> Create() { return std::make_unique<TestPlugin>(); }
};

}  // namespace TestSupport
