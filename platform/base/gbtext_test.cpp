#include "gbtext.h"

#include <gtest/gtest.h>

namespace {

// "安装" is B0 B2 D7 B0 in code page 936, E5 AE 89 E8 A3 85 in UTF-8; "統"
// (GBK only, second byte in the ASCII letter range) is BD 79 / E7 B5 B1.
TEST(GbText, ConvertsBothWays) {
  const struct {
    std::string gb, utf8;
  } cases[] = {
      {"", ""},
      {"A:\\", "A:\\"},
      {"\xB0\xB2\xD7\xB0", "\xE5\xAE\x89\xE8\xA3\x85"},
      {"&A \xB0\xB2\xD7\xB0", "&A \xE5\xAE\x89\xE8\xA3\x85"},
      {"\xBD\x79", "\xE7\xB5\xB1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gbtext::ToUtf8(c.gb), c.utf8) << c.utf8;
    EXPECT_EQ(gbtext::FromUtf8(c.utf8), c.gb) << c.utf8;
  }
}

// Bad input never stops the conversion: each refused piece is one '?'.
TEST(GbText, BadBytesBecomeQuestionMarks) {
  EXPECT_EQ(gbtext::ToUtf8("a\xFF" "b"), "a?b");
  EXPECT_EQ(gbtext::ToUtf8("ab\xB0"), "ab?");                 // a lead byte cut off at the end
  EXPECT_EQ(gbtext::FromUtf8("x\xF0\x9F\x98\x80y"), "x?y");     // an emoji: not in the code page
  EXPECT_EQ(gbtext::FromUtf8("x\xE5\xAEy"), "x?y");             // a truncated sequence
}

TEST(GbText, CharacterStartsAndUtf8Offsets) {
  const std::string s = "&A \xB0\xB2\xD7\xB0" "x";  // "&A 安装x"
  EXPECT_EQ(gbtext::CharStarts(s), (std::vector<size_t>{0, 1, 2, 3, 5, 7, 8}));
  EXPECT_EQ(gbtext::Utf8Offset(s, 3), 3u);
  EXPECT_EQ(gbtext::Utf8Offset(s, 5), 6u);
  EXPECT_EQ(gbtext::Utf8Offset(s, 8), 10u);
  EXPECT_EQ(gbtext::Utf8Offset(s, 99), 10u);
  // A lone lead byte at the end is a character of its own.
  EXPECT_EQ(gbtext::CharStarts("a\xB0"), (std::vector<size_t>{0, 1, 2}));
}

}  // namespace
