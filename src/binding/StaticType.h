// Static identities of native types.
//
// Every native type the binding layer knows is identified by a TypeIdentity:
// the 32-bit FNV-1a hash of a canonical signature text built from the type's
// canonical text, and a printable name. The canonical text is spelled out by
// the TypeText trait, never taken from the compiler, so the hashes are the
// same on every compiler and platform:
//
//   "bool"                                   -> hash 0x6AB1187C
//   "class std::basic_string<char,...> >"    -> hash 0x2757680B
//
// Records and enums declare their text once, next to their definition:
//
//   KYN_TYPE_TEXT(Corvan::Client::Highlights::Api::Highlight,
//                 "struct Corvan::Client::Highlights::Api::Highlight")
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace Corvan {

// A native type's identity: its hash and its printable name. The records
// live for the whole process, so pointers to them and to the name stay valid.
struct TypeIdentity {
  std::uint32_t hash = 0;
  const char* name = "";
};

// The canonical text of a type. Fundamental types are spelled by the rules
// below; every other type needs a specialization (KYN_TYPE_TEXT), so a
// missing text is a build error rather than a wrong hash.
template <class T, class Enable = void>
struct TypeText;

template <class T>
struct TypeText<T, std::enable_if_t<std::is_arithmetic_v<T> || std::is_void_v<T>>> {
  static std::string Get() {
    if constexpr (std::is_void_v<T>)
      return "void";
    else if constexpr (std::is_same_v<T, bool>)
      return "bool";
    else if constexpr (std::is_same_v<T, char>)
      return "char";
    else if constexpr (std::is_same_v<T, signed char>)
      return "signed char";
    else if constexpr (std::is_same_v<T, unsigned char>)
      return "unsigned char";
    else if constexpr (std::is_same_v<T, float>)
      return "float";
    else if constexpr (std::is_same_v<T, double>)
      return "double";
    else if constexpr (std::is_same_v<T, long double>)
      return "long double";
    // Every 64-bit integer spells as the one 64-bit keyword, whichever of
    // long and long long the platform's int64_t is.
    else if constexpr (sizeof(T) == 8)
      return std::is_signed_v<T> ? "__int64" : "unsigned __int64";
    else if constexpr (std::is_same_v<T, short>)
      return "short";
    else if constexpr (std::is_same_v<T, unsigned short>)
      return "unsigned short";
    else if constexpr (std::is_same_v<T, int>)
      return "int";
    else if constexpr (std::is_same_v<T, unsigned int>)
      return "unsigned int";
    else if constexpr (std::is_same_v<T, long>)
      return "long";
    else if constexpr (std::is_same_v<T, unsigned long>)
      return "unsigned long";
    else
      return std::is_signed_v<T> ? "wchar_t" : "char16_t";
  }
};

template <>
struct TypeText<std::string> {
  static std::string Get() {
    return "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> "
           ">";
  }
};

// Closes a template argument list after its last argument: a blank comes
// between two closing brackets ("<char> >"), none otherwise ("<int>").
inline std::string CloseTemplateArguments(const std::string& lastArgument) {
  return lastArgument + (!lastArgument.empty() && lastArgument.back() == '>' ? " >" : ">");
}

template <class T>
struct TypeText<std::vector<T>> {
  static std::string Get() {
    const std::string element = TypeText<T>::Get();
    return "class std::vector<" + element + ",class std::allocator<" +
           CloseTemplateArguments(element) + " >";
  }
};

template <class T>
struct TypeText<std::unordered_map<std::string, T>> {
  static std::string Get() {
    const std::string key = TypeText<std::string>::Get();
    const std::string value = TypeText<T>::Get();
    return "class std::unordered_map<" + key + "," + value + ",struct std::hash<" + key +
           " >,struct std::equal_to<" + key + " >,class std::allocator<struct std::pair<" + key +
           " const ," + CloseTemplateArguments(value) + " > >";
  }
};

// Declares the canonical text of a class, struct or enum (at global scope).
#define KYN_TYPE_TEXT(Type, Text)             \
  template <>                                 \
  struct Corvan::TypeText<Type> {             \
    static std::string Get() { return Text; } \
  };

class StaticType {
 public:
  // The identity named by its hash: "#" and eight upper-case hex digits.
  template <class T>
  static const TypeIdentity& HashCode() {
    static const Identity identity(TypeText<T>::Get(), false);
    return identity.record;
  }

  // The identity named by its full signature text, as messages print it.
  template <class T>
  static const TypeIdentity& Name() {
    static const Identity identity(TypeText<T>::Get(), true);
    return identity.record;
  }

  // The identity of void: types registered with it are not indexed by hash.
  static const TypeIdentity& NoType() { return HashCode<void>(); }

  // True when the identity is the no-type identity.
  static bool IsNoType(const TypeIdentity& identity) { return identity.hash == NoType().hash; }

  // The hash of a canonical type text, as HashCode computes it.
  static std::uint32_t HashOfTypeText(const std::string& typeText);

 private:
  struct Identity {
    Identity(const std::string& typeText, bool signatureName);
    std::string name;
    TypeIdentity record;
  };
};

}  // namespace Corvan
