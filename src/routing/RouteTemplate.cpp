#include "routing/RouteTemplate.h"

#include <cstring>

#include "routing/AsciiCase.h"

namespace Corvan {

namespace {

constexpr std::string_view kEscapedCharacters = "^$.*+?()[]|\\";
constexpr std::string_view kWordSeparators = "!+-./_";

const char* GroupFor(RouteTemplate::VariableKind kind) {
  switch (kind) {
    case RouteTemplate::VariableKind::Simple: return "([^/]*)";
    case RouteTemplate::VariableKind::Reserved: return "(.*)";
    case RouteTemplate::VariableKind::Fragment: return "#(.*)";
  }
  return "";
}

}  // namespace

const char* HttpMethodName(HttpMethod method) {
  switch (method) {
    case HttpMethod::Delete: return "DELETE";
    case HttpMethod::Get: return "GET";
    case HttpMethod::Head: return "HEAD";
    case HttpMethod::Options: return "OPTIONS";
    case HttpMethod::Patch: return "PATCH";
    case HttpMethod::Post: return "POST";
    case HttpMethod::Put: return "PUT";
    case HttpMethod::None:
    case HttpMethod::Custom: return "";
  }
  return "";
}

HttpMethod HttpMethodFromCode(std::uint32_t code) {
  return code >= 1 && code <= 8 ? static_cast<HttpMethod>(code) : HttpMethod::None;
}

std::string FunctionNameFor(HttpMethod method, std::string_view routeTemplate) {
  std::string source;
  const std::string_view methodName = HttpMethodName(method);
  if (!methodName.empty()) {
    source += methodName.front();
    for (char c : methodName.substr(1)) source += AsciiLower(c);
  }
  source += '/';
  source += routeTemplate;

  std::string name;
  name.reserve(source.size() + 8);
  bool upperNext = false;
  for (char c : source) {
    if (kWordSeparators.find(c) != std::string_view::npos) {
      upperNext = true;
    } else if (c == '{') {
      name += "By";
      upperNext = true;
    } else if (c != '}') {
      name += upperNext ? AsciiUpper(c) : c;
      upperNext = false;
    }
  }
  return name;
}

std::string TrimRouteTemplate(std::string_view routeTemplate) {
  if (routeTemplate.size() > 1 && routeTemplate.back() == '/') routeTemplate.remove_suffix(1);
  return std::string(routeTemplate);
}

RouteTemplate RouteTemplate::Compile(std::string_view routeTemplate) {
  RouteTemplate route;
  route.text_ = std::string(routeTemplate);
  if (routeTemplate.find('{') == std::string_view::npos) return route;
  route.literal_ = false;

  Piece current;
  bool inVariable = false;
  bool atVariableStart = false;
  std::string name;
  for (char c : routeTemplate) {
    if (c == '{') {
      inVariable = true;
      atVariableStart = true;
      current.kind = VariableKind::Simple;
      name.clear();
    } else if (inVariable && c == '}') {
      route.pattern_ += GroupFor(current.kind);
      if (current.kind == VariableKind::Fragment) current.literal += '#';
      current.hasVariable = true;
      route.pieces_.push_back(std::move(current));
      current = Piece{};
      route.variables_.push_back(std::move(name));
      name.clear();
      inVariable = false;
    } else if (inVariable) {
      if (atVariableStart && c == '+') {
        current.kind = VariableKind::Reserved;
      } else if (atVariableStart && c == '#') {
        current.kind = VariableKind::Fragment;
      } else {
        name += c;
      }
      atVariableStart = false;
    } else {
      if (kEscapedCharacters.find(c) != std::string_view::npos) route.pattern_ += '\\';
      route.pattern_ += c;
      current.literal += c;
    }
  }
  // An unclosed "{" opens a variable that never gets a group: what it held
  // is not part of the pattern.
  route.pieces_.push_back(std::move(current));
  return route;
}

bool RouteTemplate::Match(std::string_view path, RouteCaptures& captures) const {
  if (literal_) return path == text_;
  std::vector<std::string_view> values;
  values.reserve(variables_.size());
  if (!MatchFrom(0, path, values)) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    captures.insert_or_assign(variables_[i], std::string(values[i]));
  }
  return true;
}

// Each variable first takes as much as its kind allows and gives back one
// character at a time, so the captures are those a greedy regular
// expression engine would report for the pattern.
bool RouteTemplate::MatchFrom(std::size_t piece, std::string_view rest,
                              std::vector<std::string_view>& values) const {
  const Piece& current = pieces_[piece];
  if (rest.substr(0, current.literal.size()) != current.literal) return false;
  rest.remove_prefix(current.literal.size());
  if (!current.hasVariable) return rest.empty();

  std::size_t longest = rest.size();
  if (current.kind == VariableKind::Simple) longest = std::min(longest, rest.find('/'));
  for (std::size_t length = longest + 1; length-- > 0;) {
    values.push_back(rest.substr(0, length));
    if (MatchFrom(piece + 1, rest.substr(length), values)) return true;
    values.pop_back();
  }
  return false;
}

}  // namespace Corvan
