// Route templates: the function name a route is registered under, the
// template text kept for it, and the pattern its paths are matched with.
//
//   FunctionNameFor(HttpMethod::Get, "/kyn-highlights/v1/highlights/{id}")
//       == "GetKynHighlightsV1HighlightsById"
//   RouteTemplate route = RouteTemplate::Compile("/a/{+rest}");
//   route.pattern() == "/a/(.*)";  route.Match("/a/b/c", captures);  // rest = "b/c"
//
// Variables are "{name}" (one path segment), "{+name}" (the rest, slashes
// included) and "{#name}" (a "#" and everything after it). A template
// without "{" is a literal path compared byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "routing/RouteTypes.h"

namespace Corvan {

// The method's name: "DELETE" ... "PUT" for codes 1 to 7, "" for any other.
const char* HttpMethodName(HttpMethod method);
// A method code from outside: 1 to 8 are kept, anything else is None.
HttpMethod HttpMethodFromCode(std::uint32_t code);

// The name of the function a route registers: the method's name in
// capitalised form, then the template's words, each "{" becoming "By".
std::string FunctionNameFor(HttpMethod method, std::string_view routeTemplate);

// The template a route keeps: one trailing "/" dropped, except from "/".
std::string TrimRouteTemplate(std::string_view routeTemplate);

class RouteTemplate {
 public:
  enum class VariableKind : std::uint8_t { Simple, Reserved, Fragment };

  // Compiles a template; one without "{" becomes a literal path.
  static RouteTemplate Compile(std::string_view routeTemplate);

  bool IsLiteral() const { return literal_; }
  // The literal path, or the template text the pattern came from.
  const std::string& text() const { return text_; }
  // The pattern as regular-expression text, e.g. "/a/([^/]*)".
  const std::string& pattern() const { return pattern_; }
  // The variable names in the order of their groups.
  const std::vector<std::string>& variables() const { return variables_; }

  // True when the whole path matches; the captures are then entered into
  // `captures` (by variable name; a repeated name keeps the last value).
  [[nodiscard]] bool Match(std::string_view path, RouteCaptures& captures) const;

 private:
  struct Piece {
    std::string literal;  // text to match before the variable
    bool hasVariable = false;
    VariableKind kind = VariableKind::Simple;
  };

  bool MatchFrom(std::size_t piece, std::string_view rest,
                 std::vector<std::string_view>& values) const;

  bool literal_ = true;
  std::string text_;
  std::string pattern_;
  std::vector<std::string> variables_;
  std::vector<Piece> pieces_;
};

}  // namespace Corvan
