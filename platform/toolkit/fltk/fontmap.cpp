#include "fontmap.h"

#include <cstdlib>

namespace fontmap {

const char* FamilyName(Family f) {
  switch (f) {
    case Family::Kai: return "AR PL UKai CN";
    case Family::Ming: return "AR PL UMing CN";
    case Family::Hei: return "WenQuanYi Zen Hei";
    case Family::Sans: return "DejaVu Sans";
  }
  return "DejaVu Sans";
}

Choice Choose(const TFont& font) {
  Choice c;
  c.bold = font.Bold;
  const int h = std::abs(font.Height);
  const bool cellGiven = font.Height > 0;
  if (font.Name == "楷体_GB2312" || font.Name == "楷体") c.family = Family::Kai;
  else if (font.Name == "宋体") c.family = Family::Ming;
  else if (font.Name == "System") c.family = Family::Hei;
  else c.family = font.Charset == GB2312_CHARSET ? Family::Ming : Family::Sans;

  switch (c.family) {
    case Family::Kai:
    case Family::Ming:
      // These faces have no internal leading: the cell is the em square.
      c.size = h;
      c.cell = h;
      break;
    case Family::Hei:
      // A fixed 16-pixel cell; larger requests grow it.
      c.cell = h > 16 ? h : 16;
      c.size = c.cell - 1;
      break;
    case Family::Sans:
      c.size = cellGiven ? h - h / 5 : h;
      c.cell = cellGiven ? h : h + h / 4;
      break;
  }
  if (c.size < 1) c.size = 1;
  if (c.cell < 1) c.cell = 1;
  return c;
}

}  // namespace fontmap
