#include "picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using picture::Alpha;
using picture::Blue;
using picture::DecodeBmp;
using picture::Green;
using picture::LoadBmpFile;
using picture::Picture;
using picture::Red;
using picture::Rgba;

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOlive = Rgba(128, 128, 0);

uint32_t Opaque(uint32_t p) { return p | 0xFF; }

// ---------------------------------------------------------------------------
// A small bitmap writer for fixtures, independent of the picture generator.

void Put(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Poke32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Fixture {
  int bits = 4;
  int width = 0;
  int height = 0;             // as stored: negative for top-down rows
  uint32_t infoSize = 40;
  std::vector<uint32_t> palette;  // colours as Rgba(); written as all of the table
  std::vector<std::vector<uint32_t>> rows;  // top row first: indices, or Rgba() for 24 bits
};

Bytes Encode(const Fixture& f) {
  const int h = std::abs(f.height);
  const size_t stride = (static_cast<size_t>(f.width) * f.bits + 31) / 32 * 4;
  Bytes b{'B', 'M'};
  Put(b, 0, 4);  // file size, patched below
  Put(b, 0, 4);
  Put(b, 14 + f.infoSize + 4 * static_cast<uint32_t>(f.palette.size()), 4);
  Put(b, f.infoSize, 4);
  Put(b, static_cast<uint32_t>(f.width), 4);
  Put(b, static_cast<uint32_t>(f.height), 4);
  Put(b, 1, 2);
  Put(b, static_cast<uint32_t>(f.bits), 2);
  Put(b, 0, 4);  // BI_RGB
  Put(b, static_cast<uint32_t>(stride * h), 4);
  Put(b, 0, 4);  // pixels per metre, x and y
  Put(b, 0, 4);
  Put(b, static_cast<uint32_t>(f.palette.size()), 4);
  Put(b, 0, 4);
  b.resize(14 + f.infoSize, 0);
  for (uint32_t c : f.palette) b.insert(b.end(), {Blue(c), Green(c), Red(c), 0});
  for (int i = 0; i < h; ++i) {
    const auto& row = f.rows[f.height > 0 ? h - 1 - i : i];
    Bytes out(stride, 0);
    for (int x = 0; x < f.width; ++x) {
      const uint32_t v = row[x];
      if (f.bits == 24) {
        out[x * 3] = Blue(v), out[x * 3 + 1] = Green(v), out[x * 3 + 2] = Red(v);
      } else if (f.bits == 8) {
        out[x] = static_cast<uint8_t>(v);
      } else {
        out[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? v << 4 : v);
      }
    }
    b.insert(b.end(), out.begin(), out.end());
  }
  Poke32(b, 2, static_cast<uint32_t>(b.size()));
  return b;
}

const uint32_t kRed = Rgba(255, 0, 0), kLime = Rgba(0, 255, 0), kBlue = Rgba(0, 0, 255),
               kWhite = Rgba(255, 255, 255);

// 3 x 2, 4 bits: an odd width, so each row ends in half a byte and padding.
Fixture FourBit(int storedHeight) {
  return Fixture{4, 3, storedHeight, 40, {kRed, kLime, kBlue, kWhite},
                 {{0, 1, 2}, {3, 2, 1}}};
}

std::vector<uint32_t> Expected3x2() {
  return {kRed, kLime, kBlue, kWhite, kBlue, kLime};
}

// ---------------------------------------------------------------------------
// Decoding well-formed pictures

TEST(PictureDecodeBmp, FourBitRowsBottomUpAndTopDownGiveTheSamePicture) {
  for (int storedHeight : {2, -2}) {
    SCOPED_TRACE(storedHeight);
    const Bytes bmp = Encode(FourBit(storedHeight));
    Picture p;
    ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p, false));
    EXPECT_EQ(p.width, 3);
    EXPECT_EQ(p.height, 2);
    EXPECT_EQ(p.rgba, Expected3x2());
  }
}

TEST(PictureDecodeBmp, EightBitWithShortColourTable) {
  const Bytes bmp = Encode({8, 3, 2, 40, {kRed, kLime, kBlue, kWhite}, {{0, 1, 2}, {3, 2, 1}}});
  Picture p;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p, false));
  EXPECT_EQ(p.rgba, Expected3x2());
}

TEST(PictureDecodeBmp, TwentyFourBitRowsArePaddedToFourBytes) {
  const Bytes bmp = Encode({24, 3, 2, 40, {}, {{kRed, kLime, kBlue}, {kWhite, kBlue, kLime}}});
  Picture p;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p, false));
  EXPECT_EQ(p.rgba, Expected3x2());
}

TEST(PictureDecodeBmp, AcceptsLongerInfoHeadersAndAMissingLastRowPadding) {
  Fixture f = FourBit(2);
  f.infoSize = 124;  // BITMAPV5HEADER: the colour table follows it
  Bytes bmp = Encode(f);
  bmp.erase(bmp.end() - 2, bmp.end());  // the last stored row needs 2 of its 4 bytes
  Picture p;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p, false));
  EXPECT_EQ(p.rgba, Expected3x2());
}

// The bottom-left pixel's colour, wherever it appears and under whichever
// colour-table index, becomes transparent; nothing else does.
TEST(PictureDecodeBmp, BottomLeftColourBecomesTransparent) {
  const Fixture f{4, 3, 2, 40, {kRed, kLime, kRed}, {{2, 1, 0}, {0, 1, 1}}};
  const Bytes bmp = Encode(f);
  Picture keyed, plain;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), keyed, true));
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), plain, false));
  const std::vector<uint8_t> alphas = {0, 255, 0, 0, 255, 255};
  for (size_t i = 0; i < alphas.size(); ++i) {
    EXPECT_EQ(Alpha(keyed.rgba[i]), alphas[i]) << "pixel " << i;
    EXPECT_EQ(Opaque(keyed.rgba[i]), plain.rgba[i]) << "pixel " << i;
    EXPECT_EQ(Alpha(plain.rgba[i]), 255) << "pixel " << i;
  }
}

TEST(PictureRgbaBytes, GivesRedGreenBlueAlphaPerPixelInRowOrder) {
  const Picture p{2, 1, {Rgba(1, 2, 3, 4), Rgba(5, 6, 7, 8)}};
  EXPECT_EQ(picture::RgbaBytes(p), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

// ---------------------------------------------------------------------------
// Refusing malformed input: false, the output untouched, no read past the end
// (the sanitizer build checks the last).

const Picture kUntouched{1, 1, {Rgba(9, 9, 9)}};

void ExpectRefused(const Bytes& bmp) {
  Picture p = kUntouched;
  // A copy sized exactly, so the sanitizer sees any read beyond it.
  const auto exact = std::make_unique<uint8_t[]>(bmp.size() + (bmp.empty() ? 1 : 0));
  std::copy(bmp.begin(), bmp.end(), exact.get());
  EXPECT_FALSE(DecodeBmp(exact.get(), bmp.size(), p, true));
  EXPECT_EQ(p.width, 1);
  EXPECT_EQ(p.rgba, kUntouched.rgba);
}

TEST(PictureDecodeBmp, RefusesEveryTruncation) {
  struct Case {
    Fixture fixture;
    size_t lastRowPadding;  // may be cut off: the picture is whole without it
  };
  const Case cases[] = {
      {FourBit(2), 2},
      {FourBit(-2), 2},
      {{8, 3, 2, 40, {kRed, kLime, kBlue, kWhite}, {{0, 1, 2}, {3, 2, 1}}}, 1},
      {{24, 3, 2, 40, {}, {{kRed, kLime, kBlue}, {kWhite, kBlue, kLime}}}, 3},
  };
  for (const Case& c : cases) {
    const Bytes whole = Encode(c.fixture);
    for (size_t n = 0; n < whole.size() - c.lastRowPadding; ++n) {
      SCOPED_TRACE(n);
      ExpectRefused(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n)));
    }
  }
  Picture p = kUntouched;
  EXPECT_FALSE(DecodeBmp(nullptr, 0, p, false));
}

TEST(PictureDecodeBmp, RefusesBogusHeaders) {
  constexpr uint32_t kGoodSize = 14 + 40 + 16 * 4 + 2 * 4;
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    int bytes;
  };
  const Case cases[] = {
      {"signature", 0, 'B' | 'A' << 8, 2},
      {"core (12-byte) info header", 14, 12, 4},
      {"info header past the end", 14, 0x10000, 4},
      {"zero width", 18, 0, 4},
      {"negative width", 18, 0xFFFFFFFF, 4},
      {"huge width", 18, 16385, 4},
      {"zero height", 22, 0, 4},
      {"most negative height", 22, 0x80000000u, 4},
      {"huge top-down height", 22, static_cast<uint32_t>(-16385), 4},
      {"height beyond the rows stored", 22, 3, 4},
      {"two planes", 26, 2, 2},
      {"1 bit per pixel", 28, 1, 2},
      {"16 bits per pixel", 28, 16, 2},
      {"32 bits per pixel", 28, 32, 2},
      {"RLE4 compression", 30, 2, 4},
      {"bitfields compression", 30, 3, 4},
      {"more colours than 4 bits hold", 46, 17, 4},
      {"colour table past the end", 14, kGoodSize - 14 - 8, 4},
      {"pixel rows past the end", 10, 200, 4},
      {"pixel offset near 4 GB", 10, 0xFFFFFFF0u, 4},
  };
  Fixture full = FourBit(2);
  full.palette.resize(16, kWhite);  // room enough for a 17th entry to be read
  const Bytes good = Encode(full);
  ASSERT_EQ(good.size(), kGoodSize);
  Picture ok;
  ASSERT_TRUE(DecodeBmp(good.data(), good.size(), ok, false));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = good;
    for (int i = 0; i < c.bytes; ++i) bad[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    ExpectRefused(bad);
  }
}

TEST(PictureDecodeBmp, RefusesAPixelIndexOutsideTheColourTable) {
  ExpectRefused(Encode({4, 3, 2, 40, {kRed, kLime}, {{0, 1, 0}, {1, 2, 0}}}));
  ExpectRefused(Encode({8, 1, 1, 40, {kRed}, {{1}}}));
}

TEST(PictureLoadBmpFile, MissingFileIsRefused) {
  Picture p = kUntouched;
  EXPECT_FALSE(LoadBmpFile(PICTURES_DIR "/no-such-picture.bmp", p, false));
  EXPECT_EQ(p.rgba, kUntouched.rgba);
}

// ---------------------------------------------------------------------------
// The installer's own pictures

Bytes ReadFile(const std::string& name) {
  std::ifstream in(std::string(PICTURES_DIR) + "/" + name, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Picture Load(const std::string& name, bool transparentBottomLeft) {
  Picture p;
  EXPECT_TRUE(LoadBmpFile(std::string(PICTURES_DIR) + "/" + name, p, transparentBottomLeft))
      << name;
  return p;
}

// The widest difference of any colour component within row y.
int RowSpread(const Picture& p, int y) {
  int spread = 0;
  for (uint8_t (*component)(uint32_t) : {Red, Green, Blue}) {
    int lo = 255, hi = 0;
    for (int x = 0; x < p.width; ++x) {
      lo = std::min<int>(lo, component(p.At(x, y)));
      hi = std::max<int>(hi, component(p.At(x, y)));
    }
    spread = std::max(spread, hi - lo);
  }
  return spread;
}

bool Near(uint32_t p, int r, int g, int b, int tolerance) {
  return std::abs(Red(p) - r) <= tolerance && std::abs(Green(p) - g) <= tolerance &&
         std::abs(Blue(p) - b) <= tolerance;
}

std::set<uint32_t> Colours(const Picture& p, int x0, int x1) {
  std::set<uint32_t> colours;
  for (int y = 0; y < p.height; ++y) {
    for (int x = x0; x < x1; ++x) colours.insert(Opaque(p.At(x, y)));
  }
  return colours;
}

TEST(PictureFiles, HaveTheirSizesAndFormats) {
  struct Case {
    const char* file;
    int width, height, bits;
  };
  const Case cases[] = {
      {"gradient.bmp", 64, 48, 8},       {"ok.bmp", 36, 18, 4},
      {"close.bmp", 36, 18, 4},          {"icon.bmp", 32, 32, 4},
      {"drive_removable.bmp", 16, 16, 4}, {"drive_fixed.bmp", 16, 16, 4},
      {"drive_network.bmp", 16, 16, 4},  {"drive_cdrom.bmp", 16, 16, 4},
      {"drive_ramdisk.bmp", 16, 16, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes bytes = ReadFile(c.file);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[28], c.bits);
    EXPECT_EQ(bytes[30], 0);  // uncompressed
    const Picture p = Load(c.file, false);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
  }
}

TEST(PictureFiles, GradientFadesFromBrightBlueToNavy) {
  const Picture p = Load("gradient.bmp", false);
  ASSERT_EQ(p.height, 48);
  EXPECT_TRUE(Near(p.At(0, 0), 40, 9, 255, 2)) << std::hex << p.At(0, 0);
  EXPECT_TRUE(Near(p.At(0, 24), 20, 8, 255, 2)) << std::hex << p.At(0, 24);
  EXPECT_TRUE(Near(p.At(0, 25), 19, 8, 249, 2)) << std::hex << p.At(0, 25);
  EXPECT_TRUE(Near(p.At(0, 47), 2, 6, 72, 2)) << std::hex << p.At(0, 47);
  for (int y = 0; y < p.height; ++y) {
    SCOPED_TRACE(y);
    EXPECT_LE(RowSpread(p, y), 2);
    if (y <= 24) {
      EXPECT_EQ(Blue(p.At(0, y)), 255);
    }
    if (y > 0) {
      EXPECT_LE(Red(p.At(0, y)), Red(p.At(0, y - 1)));
    }
    if (y > 25) {
      const int fall = Blue(p.At(0, y - 1)) - Blue(p.At(0, y));
      EXPECT_TRUE(fall >= 7 && fall <= 9) << "blue falls by " << fall;
    }
  }
}

// Button glyphs: the enabled drawing on the left, its grey and white embossed
// disabled look on the right, olive background keyed out.
TEST(PictureFiles, ButtonGlyphsHaveAnEnabledAndADisabledHalf) {
  struct Case {
    const char* file;
    std::vector<uint32_t> drawnIn;  // colours the enabled drawing must use
  };
  const Case cases[] = {
      {"ok.bmp", {Rgba(0, 128, 0), Rgba(0, 0, 128)}},
      {"close.bmp",
       {Rgba(0, 128, 0), Rgba(0, 0, 128), Rgba(255, 0, 255), Rgba(0, 255, 255), kWhite}},
  };
  const std::set<uint32_t> disabledColours = {kOlive, Rgba(128, 128, 128), kWhite};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Picture p = Load(c.file, true);
    ASSERT_EQ(p.width, 36);
    EXPECT_EQ(Opaque(p.At(0, 17)), kOlive);
    EXPECT_EQ(Alpha(p.At(0, 17)), 0);
    const std::set<uint32_t> enabled = Colours(p, 0, 18);
    for (uint32_t colour : c.drawnIn) EXPECT_TRUE(enabled.count(colour)) << std::hex << colour;
    const std::set<uint32_t> disabled = Colours(p, 18, 36);
    EXPECT_EQ(disabled, disabledColours);  // grey and white on olive, nothing else
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        EXPECT_EQ(Alpha(p.At(x, y)) == 0, Opaque(p.At(x, y)) == kOlive) << x << "," << y;
      }
      // The disabled look is the same shape: grey only where the drawing is.
      for (int x = 0; x < 18; ++x) {
        if (Opaque(p.At(x + 18, y)) == Rgba(128, 128, 128)) {
          EXPECT_NE(Opaque(p.At(x, y)), kOlive) << x << "," << y;
        }
      }
    }
  }
}

// The drive-kind pictures and the icon: olive keyed out around a drawing,
// each picture its own.
TEST(PictureFiles, SmallPicturesAreTransparentAroundTheirDrawing) {
  const char* const files[] = {"drive_removable.bmp", "drive_fixed.bmp", "drive_network.bmp",
                               "drive_cdrom.bmp",     "drive_ramdisk.bmp", "icon.bmp"};
  std::set<std::vector<uint32_t>> seen;
  for (const char* file : files) {
    SCOPED_TRACE(file);
    const Picture p = Load(file, true);
    ASSERT_GT(p.width, 0);
    EXPECT_EQ(Opaque(p.At(0, p.height - 1)), kOlive);
    for (auto [x, y] : {std::pair{0, 0}, {p.width - 1, 0}, {0, p.height - 1},
                        {p.width - 1, p.height - 1}}) {
      EXPECT_EQ(Alpha(p.At(x, y)), 0) << "corner " << x << "," << y;
    }
    const auto opaque = std::count_if(p.rgba.begin(), p.rgba.end(),
                                      [](uint32_t px) { return Alpha(px) == 255; });
    EXPECT_GT(opaque, p.width * p.height / 5);
    EXPECT_TRUE(seen.insert(p.rgba).second) << "same pixels as another picture";
  }
}

TEST(PictureFiles, IconShowsABlueScreenYellowLightsAndAWhiteBox) {
  const std::set<uint32_t> colours = Colours(Load("icon.bmp", true), 0, 32);
  for (uint32_t c : {Rgba(0, 0, 255), Rgba(255, 255, 0), kWhite, Rgba(192, 192, 192),
                     Rgba(0, 0, 0)}) {
    EXPECT_TRUE(colours.count(c)) << std::hex << c;
  }
}

}  // namespace
