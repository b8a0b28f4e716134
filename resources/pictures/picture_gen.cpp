// Writes the installer's pictures as Windows bitmap files.
//
//   picture_gen SOURCE_DIR OUTPUT_DIR   writes every picture into OUTPUT_DIR
//   picture_gen --check SOURCE_DIR      exits 1, naming each one, when a file in
//                                       SOURCE_DIR differs from what it would write
//
// gradient.bmp is computed here. Every other picture is drawn in a text file
// NAME.txt beside it (its format is described in README.md): one character per
// pixel, a legend naming each character's colour from the 16-colour VGA
// palette, and options:
//   strip  append a disabled copy of the drawing to its right (a grey shape
//          with a white edge one pixel down and right), as button glyphs need
//   ico    also write NAME.ico (the same pixels, olive masked out)
// The output of these is a 4-bit bitmap with the full VGA colour table.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Colour {
  const char* name;
  uint8_t r, g, b;
};

// The standard 16-colour VGA palette in its Windows order.
constexpr std::array<Colour, 16> kVga = {{
    {"black", 0, 0, 0},        {"maroon", 128, 0, 0},   {"green", 0, 128, 0},
    {"olive", 128, 128, 0},    {"navy", 0, 0, 128},     {"purple", 128, 0, 128},
    {"teal", 0, 128, 128},     {"silver", 192, 192, 192}, {"gray", 128, 128, 128},
    {"red", 255, 0, 0},        {"lime", 0, 255, 0},     {"yellow", 255, 255, 0},
    {"blue", 0, 0, 255},       {"fuchsia", 255, 0, 255}, {"aqua", 0, 255, 255},
    {"white", 255, 255, 255},
}};
constexpr uint8_t kOlive = 3, kGray = 8, kWhite = 15;

using Bytes = std::vector<uint8_t>;

// A palettized picture, rows top first.
struct Indexed {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  uint8_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct Drawing {
  Indexed image;
  bool strip = false;
  bool ico = false;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw std::runtime_error(where + ": " + what);
}

uint8_t VgaIndex(const std::string& name, const std::string& where) {
  for (size_t i = 0; i < kVga.size(); ++i) {
    if (name == kVga[i].name) return static_cast<uint8_t>(i);
  }
  Fail(where, "unknown colour '" + name + "'");
}

// Reads a text picture: '#' lines are comments; "legend C colour" and the
// options come before the grid; every other line is a row of the grid.
Drawing ReadDrawing(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail(path, "cannot open");
  Drawing d;
  std::map<char, uint8_t> legend;
  std::vector<std::string> rows;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    const std::string where = path + ":" + std::to_string(n);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (rows.empty() && word == "legend") {
      std::string ch, colour;
      words >> ch >> colour;
      if (ch.size() != 1 || colour.empty()) Fail(where, "expected: legend C colour");
      legend[ch[0]] = VgaIndex(colour, where);
    } else if (rows.empty() && word == "strip") {
      d.strip = true;
    } else if (rows.empty() && word == "ico") {
      d.ico = true;
    } else {
      if (!rows.empty() && line.size() != rows[0].size()) Fail(where, "row length differs");
      for (char c : line) {
        if (!legend.count(c)) Fail(where, std::string("character '") + c + "' not in legend");
      }
      rows.push_back(line);
    }
  }
  if (rows.empty()) Fail(path, "no picture");
  d.image.width = static_cast<int>(rows[0].size());
  d.image.height = static_cast<int>(rows.size());
  for (const std::string& row : rows) {
    for (char c : row) d.image.pixels.push_back(legend[c]);
  }
  return d;
}

bool IsDark(uint8_t index) {
  const Colour& c = kVga[index];
  return c.r * 30 + c.g * 59 + c.b * 11 < 160 * 100;
}

// The drawing followed by its disabled look: dark pixels of the drawing
// become grey, each casting a white pixel one down and one right; light
// pixels vanish into the background.
Indexed WithDisabledCopy(const Indexed& enabled) {
  Indexed out;
  out.width = enabled.width * 2;
  out.height = enabled.height;
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, kOlive);
  for (int y = 0; y < enabled.height; ++y) {
    for (int x = 0; x < enabled.width; ++x) out.At(x, y) = enabled.At(x, y);
  }
  auto shape = [&](int x, int y) {
    const uint8_t p = enabled.At(x, y);
    return p != kOlive && IsDark(p);
  };
  for (int y = 0; y + 1 < enabled.height; ++y) {
    for (int x = 0; x + 1 < enabled.width; ++x) {
      if (shape(x, y)) out.At(enabled.width + x + 1, y + 1) = kWhite;
    }
  }
  for (int y = 0; y < enabled.height; ++y) {
    for (int x = 0; x < enabled.width; ++x) {
      if (shape(x, y)) out.At(enabled.width + x, y) = kGray;
    }
  }
  return out;
}

// The vertical background gradient: bright blue at the top fading into navy.
// Down to row 24 blue stays 255 while red falls evenly from 40 to 20; from
// row 25 blue falls from 249 by about 8 a row to 72 in row 47 and red on to 2.
// Green goes from 9 to 8 in the upper half and from 8 to 6 in the lower.
Indexed Gradient(std::vector<Colour>& palette) {
  constexpr int kWidth = 64, kHeight = 48, kKnee = 24;
  auto round = [](double v) { return static_cast<uint8_t>(v + 0.5); };
  Indexed out;
  out.width = kWidth;
  out.height = kHeight;
  for (int y = 0; y < kHeight; ++y) {
    Colour c{"", 0, 0, 0};
    if (y <= kKnee) {
      const double t = static_cast<double>(y) / kKnee;
      c.r = round(40 - 20 * t);
      c.g = round(9 - 1 * t);
      c.b = 255;
    } else {
      const double t = static_cast<double>(y - kKnee) / (kHeight - 1 - kKnee);
      const double u = static_cast<double>(y - kKnee - 1) / (kHeight - 2 - kKnee);
      c.r = round(20 - 18 * t);
      c.g = round(8 - 2 * t);
      c.b = round(249 - 177 * u);
    }
    palette.push_back(c);
    for (int x = 0; x < kWidth; ++x) out.pixels.push_back(static_cast<uint8_t>(y));
  }
  return out;
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// BITMAPINFOHEADER, colour table (2^bits entries) and the pixel rows,
// bottom-up, each padded to 4 bytes. storedHeight is written as given (an
// icon stores twice its height); then come extra bytes (an icon's mask).
Bytes InfoAndPixels(const Indexed& image, int bits, const std::vector<Colour>& palette,
                    int32_t storedHeight) {
  const uint32_t stride = (static_cast<uint32_t>(image.width) * bits + 31) / 32 * 4;
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(image.width));
  Put32(b, static_cast<uint32_t>(storedHeight));
  Put16(b, 1);                          // planes
  Put16(b, static_cast<uint32_t>(bits));
  Put32(b, 0);                          // BI_RGB
  Put32(b, stride * image.height);      // image size
  Put32(b, 0);                          // pixels per metre, x and y: unspecified
  Put32(b, 0);
  Put32(b, 0);                          // colours used: all 2^bits
  Put32(b, 0);                          // colours important: all
  for (size_t i = 0; i < (1u << bits); ++i) {
    const Colour c = i < palette.size() ? palette[i] : Colour{"", 0, 0, 0};
    b.insert(b.end(), {c.b, c.g, c.r, 0});
  }
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const uint8_t p = image.At(x, y);
      if (bits == 8) {
        row[x] = p;
      } else {
        row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? p << 4 : p);
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes Bmp(const Indexed& image, int bits, const std::vector<Colour>& palette) {
  const Bytes body = InfoAndPixels(image, bits, palette, image.height);
  const uint32_t offset = 14 + 40 + (4u << bits);
  Bytes b{'B', 'M'};
  Put32(b, static_cast<uint32_t>(14 + body.size()));
  Put32(b, 0);
  Put32(b, offset);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// A one-picture icon file: the 4-bit colour picture with olive pixels black,
// followed by its 1-bit mask in which olive pixels are set (transparent).
Bytes Ico(const Indexed& image) {
  Indexed colour = image;
  for (uint8_t& p : colour.pixels) {
    if (p == kOlive) p = 0;
  }
  Bytes body = InfoAndPixels(colour, 4, std::vector<Colour>(kVga.begin(), kVga.end()),
                             image.height * 2);
  const uint32_t maskStride = (static_cast<uint32_t>(image.width) + 31) / 32 * 4;
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(maskStride, 0);
    for (int x = 0; x < image.width; ++x) {
      if (image.At(x, y) == kOlive) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    body.insert(body.end(), row.begin(), row.end());
  }
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);  // type: icon
  Put16(b, 1);  // one image
  b.push_back(static_cast<uint8_t>(image.width));
  b.push_back(static_cast<uint8_t>(image.height));
  b.push_back(16);  // colours
  b.push_back(0);
  Put16(b, 1);  // planes
  Put16(b, 4);  // bits per pixel
  Put32(b, static_cast<uint32_t>(body.size()));
  Put32(b, 6 + 16);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// Every output file, by name.
std::map<std::string, Bytes> Build(const std::string& sourceDir) {
  static const char* const kDrawn[] = {
      "ok",          "close",         "drive_removable", "drive_fixed",
      "drive_network", "drive_cdrom", "drive_ramdisk",   "icon",
  };
  std::map<std::string, Bytes> files;
  std::vector<Colour> rampPalette;
  const Indexed gradient = Gradient(rampPalette);
  files["gradient.bmp"] = Bmp(gradient, 8, rampPalette);
  const std::vector<Colour> vga(kVga.begin(), kVga.end());
  for (const char* name : kDrawn) {
    const Drawing d = ReadDrawing(sourceDir + "/" + name + ".txt");
    const Indexed image = d.strip ? WithDisabledCopy(d.image) : d.image;
    files[std::string(name) + ".bmp"] = Bmp(image, 4, vga);
    if (d.ico) files[std::string(name) + ".ico"] = Ico(image);
  }
  return files;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::string(argv[1]) == "--check") {
      int stale = 0;
      for (const auto& [name, bytes] : Build(argv[2])) {
        if (ReadAll(std::string(argv[2]) + "/" + name) != bytes) {
          std::fprintf(stderr, "%s is not what its source gives; regenerate it\n", name.c_str());
          ++stale;
        }
      }
      return stale == 0 ? 0 : 1;
    }
    if (argc == 3) {
      for (const auto& [name, bytes] : Build(argv[1])) {
        const std::string path = std::string(argv[2]) + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error(path + ": cannot write");
      }
      return 0;
    }
    std::fprintf(stderr, "usage: picture_gen SOURCE_DIR OUTPUT_DIR | --check SOURCE_DIR\n");
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "picture_gen: %s\n", e.what());
    return 1;
  }
}
