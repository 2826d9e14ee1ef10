#include "binding/StaticType.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "binding/BindingProperty.h"
#include "binding/Fnv1a.h"

namespace Corvan {
namespace {

TEST(StaticType, ReferenceHashesOfCanonicalTexts) {
  struct Case {
    const char* text;
    std::uint32_t hash;
  } const cases[] = {
      {"void", 0x1BE7EF8E},
      {"bool", 0x6AB1187C},
      {"int", 0x1C4DE261},
      {"unsigned int", 0x3494B562},
      {"unsigned __int64", 0xC647E802},
      {"class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >",
       0x2757680B},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StaticType::HashOfTypeText(c.text), c.hash);
  }
}

TEST(StaticType, NativeTypesSpellTheirCanonicalText) {
  EXPECT_EQ(StaticType::HashCode<void>().hash, 0x1BE7EF8Eu);
  EXPECT_EQ(StaticType::HashCode<bool>().hash, 0x6AB1187Cu);
  EXPECT_EQ(StaticType::HashCode<int>().hash, 0x1C4DE261u);
  EXPECT_EQ(StaticType::HashCode<unsigned int>().hash, 0x3494B562u);
  // Whichever keyword the platform's 64-bit integers use, they hash alike.
  EXPECT_EQ(StaticType::HashCode<std::uint64_t>().hash, 0xC647E802u);
  EXPECT_EQ(StaticType::HashCode<unsigned long long>().hash, 0xC647E802u);
  EXPECT_EQ(StaticType::HashCode<std::string>().hash, 0x2757680Bu);
  EXPECT_EQ(TypeText<std::vector<BindingProperty>>::Get(),
            "class std::vector<class Corvan::BindingProperty,class "
            "std::allocator<class Corvan::BindingProperty> >");
  // Nested lists: a blank between every two closing brackets.
  const std::string text = TypeText<std::string>::Get();
  EXPECT_EQ(TypeText<std::vector<std::string>>::Get(),
            "class std::vector<" + text + ",class std::allocator<" + text + " > >");
  EXPECT_EQ(TypeText<std::vector<std::vector<int>>>::Get(),
            "class std::vector<class std::vector<int,class std::allocator<int> >,class "
            "std::allocator<class std::vector<int,class std::allocator<int> > > >");
  const std::string map = TypeText<std::unordered_map<std::string, std::string>>::Get();
  EXPECT_TRUE(map.ends_with(" const ," + text + " > > >")) << map;
}

TEST(StaticType, HashCodeAndNameForms) {
  const TypeIdentity& hashed = StaticType::HashCode<bool>();
  EXPECT_STREQ(hashed.name, "#6AB1187C");
  const TypeIdentity& named = StaticType::Name<bool>();
  EXPECT_EQ(named.hash, hashed.hash);
  EXPECT_STREQ(named.name, "const char *__cdecl StaticType::Name<bool>(void)");
  // One record per type for the life of the process.
  EXPECT_EQ(&StaticType::HashCode<bool>(), &hashed);
}

TEST(StaticType, NoTypeIdentity) {
  EXPECT_TRUE(StaticType::IsNoType(StaticType::HashCode<void>()));
  EXPECT_FALSE(StaticType::IsNoType(StaticType::HashCode<int>()));
}

TEST(Fnv1a, KnownValues) {
  EXPECT_EQ(Fnv1a(""), 0x811c9dc5u);
  EXPECT_EQ(Fnv1a("a"), 0xe40c292cu);
  static_assert(Fnv1a("foobar") == 0xbf9cf968u, "folds at build time");
}

}  // namespace
}  // namespace Corvan
