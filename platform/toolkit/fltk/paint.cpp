#include "paint.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "gbtext.h"
#include "picture.h"
#include "resources.h"

namespace paint {

Fl_Color ToFl(TColor c) {
  switch (c) {
    case clBtnFace: return kFace;
    case clWindow: return fl_rgb_color(255, 255, 255);
    case clWindowText: return fl_rgb_color(0, 0, 0);
    default: break;
  }
  if (c & 0x80000000u) return kFace;  // other system colours: the face is the best guess
  return fl_rgb_color(static_cast<uchar>(c & 0xFF), static_cast<uchar>((c >> 8) & 0xFF),
                      static_cast<uchar>((c >> 16) & 0xFF));
}

// --------------------------------------------------------------------- fonts

namespace {
Fl_Font FaceOf(const fontmap::Choice& c) {
  return static_cast<Fl_Font>(FL_FREE_FONT + static_cast<int>(c.family) * 2 + (c.bold ? 1 : 0));
}
}  // namespace

void RegisterFonts() {
  for (int f = 0; f < fontmap::kFamilies; ++f) {
    const std::string name = fontmap::FamilyName(static_cast<fontmap::Family>(f));
    // FLTK's Xft names: a leading ' ' asks for the regular face, 'B' for bold.
    static std::vector<std::string> names;  // Fl::set_font keeps the pointer
    names.reserve(2 * fontmap::kFamilies);
    names.push_back(" " + name);
    Fl::set_font(static_cast<Fl_Font>(FL_FREE_FONT + 2 * f), names.back().c_str());
    names.push_back("B" + name);
    Fl::set_font(static_cast<Fl_Font>(FL_FREE_FONT + 2 * f + 1), names.back().c_str());
  }
}

fontmap::Choice UseFont(const TFont& font) {
  const fontmap::Choice c = fontmap::Choose(font);
  fl_font(FaceOf(c), c.size);
  return c;
}

int Baseline(const fontmap::Choice& c) {
  // The cell is shared between ascent and descent in the face's own ratio.
  const int height = fl_height();
  const int descent = fl_descent();
  if (height <= 0) return c.cell;
  return c.cell - static_cast<int>(std::lround(static_cast<double>(descent) * c.cell / height));
}

int TextWidth(const std::string& utf8) {
  if (utf8.empty()) return 0;
  return static_cast<int>(std::ceil(fl_width(utf8.data(), static_cast<int>(utf8.size()))));
}

int CaptionWidth(const std::string& gbCaption) { return TextWidth(gbtext::ToUtf8(TLabel::StripAccel(gbCaption))); }

void DrawCaption(const std::string& gbCaption, int x, int y, const fontmap::Choice& c) {
  int underline = -1;
  const std::string shown = TLabel::StripAccel(gbCaption, &underline);
  const std::string utf8 = gbtext::ToUtf8(shown);
  const int base = y + Baseline(c);
  fl_draw(utf8.data(), static_cast<int>(utf8.size()), x, base);
  if (underline >= 0) {
    const auto starts = gbtext::CharStarts(shown);
    size_t end = shown.size();
    for (size_t i = 0; i + 1 < starts.size(); ++i)
      if (starts[i] == static_cast<size_t>(underline)) end = starts[i + 1];
    const int x0 = x + TextWidth(gbtext::ToUtf8(shown.substr(0, static_cast<size_t>(underline))));
    const int x1 = x + TextWidth(gbtext::ToUtf8(shown.substr(0, end)));
    fl_line_style(FL_SOLID, 1);
    fl_xyline(x0, base + 1, x1 - 1);
  }
}

// ------------------------------------------------------------------- frames

void Frame3D(int x, int y, int w, int h, Fl_Color topLeft, Fl_Color bottomRight) {
  if (w <= 0 || h <= 0) return;
  const int r = x + w - 1, b = y + h - 1;
  fl_color(topLeft);
  fl_yxline(x, b, y);   // left edge, bottom to top
  fl_xyline(x, y, r - 1);  // top edge
  fl_color(bottomRight);
  fl_yxline(r, y, b - 1);  // right edge
  fl_xyline(x, b, r);   // bottom edge, bottom-left corner included
}

void SunkenBorder(int x, int y, int w, int h) {
  Frame3D(x, y, w, h, kShadow, kLight);
  Frame3D(x + 1, y + 1, w - 2, h - 2, kDark, kFace);
}

void FocusRect(int x, int y, int w, int h, Fl_Color color) {
  if (w <= 0 || h <= 0) return;
  fl_color(color);
  // Every other pixel, continuing around the corners.
  for (int i = 0; i < w; i += 2) {
    fl_point(x + i, y);
    if ((h - 1) % 2 == 0) fl_point(x + i, y + h - 1);
    else if (i + 1 < w) fl_point(x + i + 1, y + h - 1);
  }
  for (int j = 2; j < h - 1; j += 2) {
    fl_point(x, y + j);
    fl_point(x + w - 1 - ((w - 1) % 2), y + j);
  }
}

void Button(int x, int y, int w, int h, const ButtonLook& look, const Fl_RGB_Image* glyph,
            const std::string& gbCaption, const TFont& font) {
  fl_push_clip(x, y, w, h);
  fl_rectf(x, y, w, h, kFace);
  int fx = x, fy = y, fw = w, fh = h;
  if (look.defaultFrame) {
    fl_color(kDark);
    fl_rect(x, y, w, h);
    fx += 1, fy += 1, fw -= 2, fh -= 2;
  }
  if (look.pressed) {
    fl_color(kShadow);
    fl_rect(fx, fy, fw, fh);
  } else {
    Frame3D(fx, fy, fw, fh, kLight, kDark);
    Frame3D(fx + 1, fy + 1, fw - 2, fh - 2, kFace, kShadow);
  }
  const int shift = look.pressed ? 1 : 0;

  const fontmap::Choice fc = UseFont(font);
  const int textW = CaptionWidth(gbCaption);
  const int glyphW = glyph ? glyph->w() / 2 : 0;
  const int spacing = glyph && textW > 0 ? 4 : 0;
  const int total = glyphW + spacing + textW;
  int left = x + (w - total) / 2 + shift;
  if (glyph) {
    const int gy = y + (h - glyph->h()) / 2 + shift;
    // The strip's left half is the enabled image, the right half the disabled one.
    const_cast<Fl_RGB_Image*>(glyph)->draw(left, gy, glyphW, glyph->h(), look.enabled ? 0 : glyphW, 0);
    left += glyphW + spacing;
  }
  fl_color(look.enabled ? ToFl(font.Color) : kShadow);
  DrawCaption(gbCaption, left, y + (h - fc.cell) / 2 + shift, fc);
  if (look.focused) FocusRect(x + 4, y + 4, w - 8, h - 8);
  fl_pop_clip();
}

// ----------------------------------------------------------------- pictures

namespace {
struct Decoded {
  std::vector<uchar> bytes;
  std::unique_ptr<Fl_RGB_Image> image;
};
}  // namespace

const Fl_RGB_Image* Picture(std::string_view name, bool transparent) {
  static std::map<std::pair<std::string, bool>, Decoded> cache;
  auto key = std::make_pair(std::string(name), transparent);
  auto it = cache.find(key);
  if (it == cache.end()) {
    Decoded d;
    const std::string_view bmp = resources::Picture(name);
    picture::Picture p;
    if (!bmp.empty() &&
        picture::DecodeBmp(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size(), p, transparent)) {
      auto rgba = picture::RgbaBytes(p);
      d.bytes.assign(rgba.begin(), rgba.end());
      d.image = std::make_unique<Fl_RGB_Image>(d.bytes.data(), p.width, p.height, 4);
    }
    it = cache.emplace(std::move(key), std::move(d)).first;
  }
  return it->second.image.get();
}

}  // namespace paint
