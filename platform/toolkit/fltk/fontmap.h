// Which installed face draws a toolkit font, at which pixel size, and how
// high a one-line text in it stands (the label's height). Free of FLTK types.
#pragma once

#include "toolkit.h"

namespace fontmap {

enum class Family { Kai, Ming, Hei, Sans };
constexpr int kFamilies = 4;

struct Choice {
  Family family = Family::Sans;
  bool bold = false;
  int size = 0;  // pixel size of the em square
  int cell = 0;  // height of a line of text, what a label sizes itself to
  bool operator==(const Choice&) const = default;
};

// The fontconfig name of a family.
const char* FamilyName(Family f);

// "楷体_GB2312" is drawn in AR PL UKai, "宋体" in AR PL UMing, "System" (a
// bitmap face whose cell is 16 pixels high at every requested height up to
// 16) in WenQuanYi Zen Hei, "MS Sans Serif" and any other name in DejaVu
// Sans, except that an unknown name with the GB2312 character set falls back
// to UMing. A negative height is the character (em) height in pixels; a
// positive one the whole cell.
Choice Choose(const TFont& font);

}  // namespace fontmap
