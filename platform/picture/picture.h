// Decoded pictures and a decoder for the Windows bitmap files the installer
// carries (button glyphs, drive-kind pictures, the background gradient and the
// application icon).
//
// Nothing here depends on a windowing toolkit: a backend turns a Picture into
// whatever image type it draws with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace picture {

// One pixel packed as 0xRRGGBBAA: red in the top byte, alpha (255 = opaque,
// 0 = fully transparent) in the lowest.
constexpr uint32_t Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (uint32_t{r} << 24) | (uint32_t{g} << 16) | (uint32_t{b} << 8) | a;
}
constexpr uint8_t Red(uint32_t p) { return static_cast<uint8_t>(p >> 24); }
constexpr uint8_t Green(uint32_t p) { return static_cast<uint8_t>(p >> 16); }
constexpr uint8_t Blue(uint32_t p) { return static_cast<uint8_t>(p >> 8); }
constexpr uint8_t Alpha(uint32_t p) { return static_cast<uint8_t>(p); }

// A width x height picture, rows stored top row first, left to right.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgba;  // width * height pixels, packed as by Rgba()

  // The pixel in column x of row y (0, 0 is the top-left corner); x and y must
  // lie inside the picture.
  uint32_t At(int x, int y) const { return rgba[static_cast<size_t>(y) * width + x]; }
};

// Decodes a Windows bitmap file (BITMAPFILEHEADER + BITMAPINFOHEADER or a
// later, larger info header) held in data[0..size).
//
// Accepts uncompressed (BI_RGB) pictures of 4 or 8 bits per pixel with a
// colour table, and of 24 bits per pixel; rows may be stored bottom-up
// (positive height) or top-down (negative height). Every decoded pixel is
// opaque, except that with transparentBottomLeft every pixel whose colour
// equals that of the picture's bottom-left pixel gets alpha 0 (the
// convention of button glyphs, whose bottom-left colour marks the background).
//
// Returns false, leaving out unchanged, for anything else: a wrong signature,
// another bit depth or compression, a colour table or pixel rows reaching past
// size, a pixel index outside the colour table, a zero or absurd size
// (more than 16384 pixels either way). Never reads outside data[0..size).
bool DecodeBmp(const uint8_t* data, size_t size, Picture& out, bool transparentBottomLeft);

// Reads a whole file and decodes it with DecodeBmp. Returns false when the
// file cannot be read or does not decode; out is then unchanged.
bool LoadBmpFile(const std::string& path, Picture& out, bool transparentBottomLeft);

// The picture's pixels as bytes r, g, b, a for each pixel, top row first: the
// layout toolkits' RGBA image types take.
std::vector<uint8_t> RgbaBytes(const Picture& picture);

}  // namespace picture
