#include "bytestr.h"

#include <gtest/gtest.h>

using bytestr::ParseInt32;
using bytestr::Trim;
using bytestr::UpperCase;

// Trimming removes every byte <= 0x20 from both ends, and nothing inside.
TEST(Trim, RemovesControlBytesAndBlanksAtBothEnds) {
  const struct { std::string in, out; } cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {std::string("\0 a b\0", 6), "a b"},       // NUL counts as <= 0x20
      {"\x1A x \x7F", "x \x7F"},                  // DEL (0x7F) is kept
      {"\xA1\xA1x\xA1\xA1", "\xA1\xA1x\xA1\xA1"},  // the GB2312 ideographic blank is not trimmed
      {"  [DIR]  ", "[DIR]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Trim(c.in), c.out) << c.in;
}

// Upper-casing lowers 0x61..0x7A by 0x20 wherever the byte stands, also as the
// second byte of a double-byte character; other bytes never change.
TEST(UpperCase, IsBytewise) {
  const struct { std::string in, out; } cases[] = {
      {"sales System 2.0", "SALES SYSTEM 2.0"},
      {"`az{", "`AZ{"},                           // the edges 0x60, 0x7B stay
      {"\xCF\xB5\xCD\xB3", "\xCF\xB5\xCD\xB3"},   // GB2312 "系统": no byte in range
      {"\xBD\x79", "\xBD\x59"},                   // GBK 0xBD79 becomes 0xBD59
      {"\x8E" "a", "\x8E" "A"},
  };
  for (const auto& c : cases) EXPECT_EQ(UpperCase(c.in), c.out) << c.in;
}

// [SPACE] numbers: signed decimal within 32 bits, or '$' hexadecimal up to
// $FFFFFFFF wrapping to negative; nothing else.
TEST(ParseInt32, AcceptsOnlyTheDocumentedForms) {
  const struct { const char* in; bool ok; int32_t value; } cases[] = {
      {"20", true, 20},          {"+20", true, 20},
      {"-5", true, -5},          {"0", true, 0},
      {"$1F", true, 31},         {"$1f", true, 31},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"$FFFFFFFF", true, -1},   {"$80000000", true, INT32_MIN},
      {"$0000000000001", true, 1},
      {"2147483648", false, 0},  {"-2147483649", false, 0},
      {"$100000000", false, 0},  {"12 MB", false, 0},
      {"-", false, 0},           {"+", false, 0},
      {"$", false, 0},           {"-$10", false, 0},
      {"", false, 0},            {"0x10", false, 0},
      {"1e3", false, 0},         {"$G", false, 0},
  };
  for (const auto& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInt32(c.in, v), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.in;
    }
  }
}
