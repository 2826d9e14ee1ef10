#include "plugin/EventNames.h"

#include <gtest/gtest.h>

namespace Corvan {
namespace {

TEST(EventNamesTest, KeepsFourPartsOrSixForConfigNamespaces) {
  struct Case {
    const char* path;
    const char* name;
  };
  const Case cases[] = {
      {"/kyn-highlights/v1/highlights/7", "OnJsonApiEvent_kyn-highlights_v1_highlights"},
      {"/kyn-highlights/v1/config", "OnJsonApiEvent_kyn-highlights_v1_config"},
      {"/kyn-highlights/v1", "OnJsonApiEvent_kyn-highlights_v1"},
      {"//kyn-highlights///v1/highlights/", "OnJsonApiEvent_kyn-highlights_v1_highlights"},
      {"kyn-highlights/v1/a/b", "OnJsonApiEvent_kyn-highlights_v1_a"},
      {"", "OnJsonApiEvent"},
      {"///", "OnJsonApiEvent"},
      {"/kyn-platform-config/v1/namespaces/Highlights",
       "OnJsonApiEvent_kyn-platform-config_v1_namespaces_Highlights"},
      {"/kyn-platform-config/v1/namespaces/Highlights/Enabled/x",
       "OnJsonApiEvent_kyn-platform-config_v1_namespaces_Highlights_Enabled"},
      // Only the first piece decides; the name elsewhere in the path does not.
      {"/other/kyn-platform-config/v1/a/b", "OnJsonApiEvent_other_kyn-platform-config_v1"},
      {"/kyn-platform-configs/v1/namespaces/H",
       "OnJsonApiEvent_kyn-platform-configs_v1_namespaces"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(EventNameOfPath(c.path), c.name);
  }
}

}  // namespace
}  // namespace Corvan
