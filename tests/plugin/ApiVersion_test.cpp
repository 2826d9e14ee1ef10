#include "plugin/ApiVersion.h"

#include <gtest/gtest.h>

namespace Corvan {
namespace {

TEST(ApiVersionTest, TextAddsOnlyTheTextsThatAreSet) {
  struct Case {
    ApiVersion version;
    const char* text;
  };
  const Case cases[] = {
      {{18, 0, 0, "", ""}, "18.0.0"},
      {{4294967295u, 10, 7, "", ""}, "4294967295.10.7"},
      {{1, 2, 3, "beta.1", ""}, "1.2.3-beta.1"},
      {{1, 2, 3, "", "sha.5"}, "1.2.3+sha.5"},
      {{1, 2, 3, "rc", "b7"}, "1.2.3-rc+b7"},
      {{0, 0, 0, "%1", "%s"}, "0.0.0-%1+%s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.version.ToText(), c.text);
  }
}

TEST(ApiVersionTest, HostMustShareMajorAndNotBeOlder) {
  struct Case {
    ApiVersion plugin;
    ApiVersion host;
    bool compatible;
  };
  const ApiVersion own = PluginApiVersion();
  const Case cases[] = {
      {own, {18, 0, 0, "", ""}, true},
      {own, {18, 3, 1, "", ""}, true},
      {own, {18, 1, 0, "", ""}, true},
      {own, {18, 0, 0, "alpha", "x"}, true},
      {own, {17, 9, 9, "", ""}, false},
      {own, {19, 0, 0, "", ""}, false},
      {{18, 0, 1, "", ""}, {18, 0, 0, "", ""}, false},
      {{18, 2, 5, "", ""}, {18, 3, 0, "", ""}, true},
      {{18, 2, 5, "", ""}, {18, 2, 4, "", ""}, false},
      {{18, 2, 0, "", ""}, {18, 1, 9, "", ""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plugin.ToText() + " under " + c.host.ToText());
    EXPECT_EQ(c.plugin.IsCompatibleWith(c.host), c.compatible);
  }
}

}  // namespace
}  // namespace Corvan
