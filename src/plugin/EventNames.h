// The host files resource events under a name derived from the resource's
// path, so that subscribers of a collection also hear about its members:
// "/kyn-highlights/v1/highlights/7" belongs to
// "OnJsonApiEvent_kyn-highlights_v1_highlights". Configuration namespaces sit
// deeper, so their names keep two more pieces.
//
//   std::string name = EventNameOfPath("/kyn-highlights/v1/config");
#pragma once

#include <string>
#include <string_view>

namespace Corvan {

[[nodiscard]] std::string EventNameOfPath(std::string_view path);

}  // namespace Corvan
