#include "binding/StaticType.h"

#include <cstdio>

#include "binding/Fnv1a.h"

namespace Corvan {

std::uint32_t StaticType::HashOfTypeText(const std::string& typeText) {
  std::uint32_t hash = Fnv1a("unsigned int __cdecl StaticType::HashCode<");
  hash = Fnv1aAppend(hash, typeText);
  return Fnv1aAppend(hash, ">(void)");
}

StaticType::Identity::Identity(const std::string& typeText, bool signatureName) {
  record.hash = HashOfTypeText(typeText);
  if (signatureName) {
    name = "const char *__cdecl StaticType::Name<" + typeText + ">(void)";
  } else {
    char text[16];
    std::snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(record.hash));
    name = text;
  }
  record.name = name.c_str();
}

}  // namespace Corvan
