#include "fontmap.h"

#include <gtest/gtest.h>

namespace {

TFont Font(const char* name, int height, bool bold = false, int charset = DEFAULT_CHARSET) {
  TFont f;
  f.Name = name;
  f.Height = height;
  f.Bold = bold;
  f.Charset = charset;
  return f;
}

// The window layouts' fonts: the Chinese faces stand exactly their requested
// height; "System" keeps its 16-pixel cell at the requested height 11.
TEST(FontMap, LayoutFonts) {
  using fontmap::Family;
  const struct {
    TFont font;
    fontmap::Choice want;
  } cases[] = {
      {Font("宋体", -56, false, GB2312_CHARSET), {Family::Ming, false, 56, 56}},
      {Font("楷体_GB2312", -21, true, GB2312_CHARSET), {Family::Kai, true, 21, 21}},
      {Font("楷体_GB2312", -16, true, GB2312_CHARSET), {Family::Kai, true, 16, 16}},
      {Font("System", -11, true), {Family::Hei, true, 15, 16}},
      {Font("System", -16, true, GB2312_CHARSET), {Family::Hei, true, 15, 16}},
      {Font("System", -20, true), {Family::Hei, true, 19, 20}},
      {Font("MS Sans Serif", -11), {Family::Sans, false, 11, 13}},
      {Font("Unknown", -12, false, GB2312_CHARSET), {Family::Ming, false, 12, 12}},
      {Font("Unknown", 15), {Family::Sans, false, 12, 15}},
  };
  for (const auto& c : cases) EXPECT_EQ(fontmap::Choose(c.font), c.want) << c.font.Name << " " << c.font.Height;
}

}  // namespace
