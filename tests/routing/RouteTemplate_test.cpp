#include "routing/RouteTemplate.h"

#include <gtest/gtest.h>

namespace Corvan {
namespace {

TEST(RouteTemplate, FunctionNamesFromMethodAndTemplate) {
  struct Case {
    HttpMethod method;
    const char* routeTemplate;
    const char* name;
  };
  constexpr Case kCases[] = {
      {HttpMethod::Get, "/kyn-highlights/v1/highlights/{id}", "GetKynHighlightsV1HighlightsById"},
      {HttpMethod::Put, "/kyn-highlights/v1/highlights/{id}", "PutKynHighlightsV1HighlightsById"},
      {HttpMethod::Get, "/kyn-highlights/v1/highlights-folder-path/default",
       "GetKynHighlightsV1HighlightsFolderPathDefault"},
      {HttpMethod::Post, "/kyn-highlights/v1/file-browser/{highlightId}",
       "PostKynHighlightsV1FileBrowserByHighlightId"},
      {HttpMethod::Delete, "/a.b/c_d!e+f", "DeleteABCDEF"},
      {HttpMethod::Options, "/x/{+rest}", "OptionsXByRest"},
      {HttpMethod::None, "/x", "X"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.routeTemplate);
    EXPECT_EQ(FunctionNameFor(c.method, c.routeTemplate), c.name);
  }
}

TEST(RouteTemplate, TrailingSlashIsTrimmedExceptFromRoot) {
  EXPECT_EQ(TrimRouteTemplate("/kyn-highlights/v1/highlights/"), "/kyn-highlights/v1/highlights");
  EXPECT_EQ(TrimRouteTemplate("/"), "/");
  EXPECT_EQ(TrimRouteTemplate("/a//"), "/a/");
}

TEST(RouteTemplate, PatternsAndVariables) {
  struct Case {
    const char* routeTemplate;
    const char* pattern;
    std::vector<std::string> variables;
  };
  const Case kCases[] = {
      {"/a/{+rest}", "/a/(.*)", {"rest"}},
      {"/a/{#frag}", "/a/#(.*)", {"frag"}},
      {"/a.b/{x}", "/a\\.b/([^/]*)", {"x"}},
      {"/^$*+?()[]|\\/{x}/{y}", "/\\^\\$\\*\\+\\?\\(\\)\\[\\]\\|\\\\/([^/]*)/([^/]*)", {"x", "y"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.routeTemplate);
    RouteTemplate route = RouteTemplate::Compile(c.routeTemplate);
    EXPECT_FALSE(route.IsLiteral());
    EXPECT_EQ(route.pattern(), c.pattern);
    EXPECT_EQ(route.variables(), c.variables);
  }
  EXPECT_TRUE(RouteTemplate::Compile("/kyn-highlights/v1/config").IsLiteral());
}

TEST(RouteTemplate, MatchesWholePathsOnly) {
  struct Case {
    const char* routeTemplate;
    const char* path;
    bool matches;
    RouteCaptures captures;
  };
  const Case kCases[] = {
      {"/a.b/{x}", "/a.b/1", true, {{"x", "1"}}},
      {"/a.b/{x}", "/aXb/1", false, {}},
      {"/h/{id}", "/h/", true, {{"id", ""}}},
      {"/h/{id}", "/h/1/2", false, {}},
      {"/h/{id}", "/h/1x", true, {{"id", "1x"}}},
      {"/a/{+rest}", "/a/b/c", true, {{"rest", "b/c"}}},
      {"/a/{#frag}", "/a/#x/y", true, {{"frag", "x/y"}}},
      {"/a/{#frag}", "/a/x", false, {}},
      {"/a/{x}-{y}", "/a/1-2-3", true, {{"x", "1-2"}, {"y", "3"}}},
      {"/a/{x}{y}", "/a/12", true, {{"x", "12"}, {"y", ""}}},
      {"/a/{x}/b", "/a/1/bc", false, {}},
      {"/literal", "/literal", true, {}},
      {"/literal", "/literal/", false, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.routeTemplate) + " " + c.path);
    RouteCaptures captures;
    EXPECT_EQ(RouteTemplate::Compile(c.routeTemplate).Match(c.path, captures), c.matches);
    EXPECT_EQ(captures, c.captures);
  }
}

TEST(RouteTemplate, MethodCodesAndNames) {
  EXPECT_EQ(HttpMethodFromCode(9), HttpMethod::None);
  EXPECT_EQ(HttpMethodFromCode(8), HttpMethod::Custom);
  EXPECT_STREQ(HttpMethodName(HttpMethod::Custom), "");
  EXPECT_STREQ(HttpMethodName(HttpMethod::Patch), "PATCH");
}

}  // namespace
}  // namespace Corvan
