#include "HostOptions.h"

#include <gtest/gtest.h>

namespace Corvan::Host {
namespace {

TEST(HostOptions, ReadsEveryOptionAndFillsDefaults) {
  const OptionsResult parsed = ParseHostOptions(
      {"--folder", "/v", "--disabled", "--port", "0", "--module", "/m.so", "--web", "/w"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.folder, "/v");
  EXPECT_TRUE(parsed.options.disabled);
  EXPECT_EQ(parsed.options.port, 0);
  EXPECT_EQ(parsed.options.modulePath, "/m.so");
  EXPECT_EQ(parsed.options.webRoot, "/w");

  const OptionsResult defaults = ParseHostOptions({});
  EXPECT_FALSE(defaults.options.folder.has_value());
  EXPECT_EQ(defaults.options.port, kDefaultPort);
  EXPECT_TRUE(defaults.options.modulePath.ends_with("/kyn-highlights.so"));
}

TEST(HostOptions, WrongCommandLinesAreReported) {
  struct Case {
    std::vector<std::string> arguments;
    const char* error;
  };
  const Case cases[] = {
      {{"--port"}, "option needs a value: --port"},
      {{"--port", "65536"}, "not a port number: 65536"},
      {{"--port", "80x"}, "not a port number: 80x"},
      {{"--port", ""}, "not a port number: "},
      {{"--folder"}, "option needs a value: --folder"},
      {{"--verbose"}, "unknown option: --verbose"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(ParseHostOptions(c.arguments).error, c.error);
  }
}

}  // namespace
}  // namespace Corvan::Host
