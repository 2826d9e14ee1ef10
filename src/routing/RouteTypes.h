// Small types shared by the route table, the argument binder and the
// invoke entry.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace Corvan {

// The method of a request or route. Codes outside 1 to 8 count as None;
// None on a route accepts any method.
enum class HttpMethod : std::uint32_t {
  None = 0,
  Delete = 1,
  Get = 2,
  Head = 3,
  Options = 4,
  Patch = 5,
  Post = 6,
  Put = 7,
  Custom = 8,
};

// Where an argument may come from. Any accepts every source.
enum class ArgumentLocation : std::uint32_t {
  Any = 0,
  Query = 1,
  Path = 2,
  Header = 4,
  Body = 5,
};

// The values a route template captured, by variable name.
using RouteCaptures = std::map<std::string, std::string, std::less<>>;

}  // namespace Corvan
