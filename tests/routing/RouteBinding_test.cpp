#include "routing/RouteBinding.h"

#include <gtest/gtest.h>

namespace Corvan {
namespace {

RouteBinding MakeBinding(std::string_view routeTemplate, HttpMethod method) {
  RouteBinding binding;
  binding.routeTemplate = std::string(routeTemplate);
  binding.method = method;
  binding.route = RouteTemplate::Compile(routeTemplate);
  return binding;
}

TEST(MatchRoute, ShortestCapturesWinAndLiteralMatchesAtOnce) {
  RouteBinding wide = MakeBinding("/a/{+rest}", HttpMethod::Get);
  RouteBinding narrow = MakeBinding("/a/b/{x}", HttpMethod::Get);
  RouteBinding literal = MakeBinding("/a/b/c", HttpMethod::Get);
  const RouteEntry entries[] = {RouteEntryFor(wide), RouteEntryFor(narrow), RouteEntryFor(literal)};
  RouteCaptures captures;

  MatchRequest request{HttpMethod::Get, "", "/a/b/c"};
  EXPECT_EQ(MatchRoute(request, entries, captures), &entries[2]);
  EXPECT_TRUE(captures.empty());

  request.path = "/a/b/d";
  EXPECT_EQ(MatchRoute(request, entries, captures), &entries[1]);
  EXPECT_EQ(captures, (RouteCaptures{{"x", "d"}}));

  // An equal total keeps the earlier match.
  RouteBinding other = MakeBinding("/a/b/{y}", HttpMethod::Get);
  const RouteEntry same[] = {RouteEntryFor(narrow), RouteEntryFor(other)};
  EXPECT_EQ(MatchRoute(request, same, captures), &same[0]);
}

TEST(MatchRoute, MethodsMustAgree) {
  RouteBinding get = MakeBinding("/x", HttpMethod::Get);
  RouteBinding any = MakeBinding("/x", HttpMethod::None);
  const RouteEntry getOnly[] = {RouteEntryFor(get)};
  const RouteEntry anyOnly[] = {RouteEntryFor(any)};
  RouteCaptures captures;

  const MatchRequest post{HttpMethod::Post, "", "/x"};
  EXPECT_EQ(MatchRoute(post, getOnly, captures), nullptr);
  EXPECT_NE(MatchRoute(post, anyOnly, captures), nullptr);

  // Code 9 arrives as None: only a route for any method takes it.
  const MatchRequest unknown{HttpMethodFromCode(9), "", "/x"};
  EXPECT_EQ(MatchRoute(unknown, getOnly, captures), nullptr);
  EXPECT_NE(MatchRoute(unknown, anyOnly, captures), nullptr);

  RouteBinding custom = MakeBinding("/x", HttpMethod::Custom);
  custom.customMethod = "PURGE";
  const RouteEntry customOnly[] = {RouteEntryFor(custom)};
  EXPECT_NE(MatchRoute({HttpMethod::Custom, "PURGE", "/x"}, customOnly, captures), nullptr);
  EXPECT_EQ(MatchRoute({HttpMethod::Custom, "LINK", "/x"}, customOnly, captures), nullptr);
}

}  // namespace
}  // namespace Corvan
