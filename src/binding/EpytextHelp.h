// Help texts in the epytext documentation markup.
//
// Descriptions and help texts are escaped ("E{-}" for a leading minus,
// "E{lb}" and "E{rb}" for braces), lines end in "\r\n" and tag lists are
// joined with "," and no blanks:
//
//   EpytextFunction(function)
//   // "Renames a highlight.\r\n\r\n@param id: the id\r\n@type id: uint64\r\n..."
#pragma once

#include <string>
#include <string_view>

#include "binding/BindingFunctions.h"
#include "binding/BindingTypes.h"

namespace Corvan {

// Escapes a description or help text for epytext.
std::string EpytextEscape(std::string_view text);

// "bool" ... "object", "bytearray", "list[...]", "dict[...]", "L{Name}",
// "callback"; the empty text for codes without a form.
std::string EpytextTypeName(const BindingTypeRef& type);

// The help of a function: description, help, @param/@type per argument,
// @rtype, @tags, @threadsafe, @async.
std::string EpytextFunction(const BindingFunctionDescriptor& function);
// The help of a record type (@ivar/@type per field) or an enum type (@cvar
// per enumerator, by value, and @size).
std::string EpytextType(const BindingTypeDescriptor& type);
// The help of an event: description and @tags.
std::string EpytextEvent(const BindingEventDescriptor& event);

}  // namespace Corvan
