// OpenApiDocument: the plugin's flat API description as an OpenAPI 3.0
// document, so the API can be browsed and called with common tools.
//
//   std::string json = RenderOpenApi(module.Description(), "kyn-highlights", "18.0.0");
//
// Each FunctionDescriptor becomes one operation under its route template
// ("{+rest}" and "{#frag}" written "{rest}", "{frag}"), with its function
// name as operationId, its description, tags, parameters and result. The
// flat records carry no argument locations, so they are inferred the way a
// caller sends them: an argument named like a template variable is a path
// parameter; on PUT, POST and PATCH the first argument of a record, list,
// map or object kind is the JSON request body; every other argument is a
// query parameter, required unless optional. A function of no particular
// method is listed under "get" with "x-any-method": true. Results: a value
// answers 200 with its schema, a function without result 204, and every
// operation names the error body {"httpStatus", "message"} as its default.
// Types become components/schemas (records with their fields, enums as
// texts with their enumerators); events are listed under "x-events".
#pragma once

#include <string>
#include <string_view>

#include "abi/HostAbi.h"

namespace Corvan::Host {

[[nodiscard]] std::string RenderOpenApi(const PluginApiDescription& description,
                                        std::string_view title, std::string_view version);

}  // namespace Corvan::Host
