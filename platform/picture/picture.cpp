#include "picture.h"

#include <fstream>
#include <iterator>
#include <utility>

namespace picture {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; V4/V5 headers are longer
constexpr int32_t kMaxSide = 16384;
constexpr uint32_t kBiRgb = 0;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
int32_t S32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Picture& out, bool transparentBottomLeft) {
  if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;
  const uint64_t pixelOffset = U32(data + 10);
  const uint8_t* info = data + kFileHeaderSize;
  const uint32_t infoSize = U32(info);
  if (infoSize < kInfoHeaderSize || infoSize > size - kFileHeaderSize) return false;

  const int32_t width = S32(info + 4);
  const int32_t storedHeight = S32(info + 8);
  const uint16_t planes = U16(info + 12);
  const uint16_t bits = U16(info + 14);
  const uint32_t compression = U32(info + 16);
  const uint32_t colorsUsed = U32(info + 32);
  if (planes != 1 || compression != kBiRgb) return false;
  if (bits != 4 && bits != 8 && bits != 24) return false;
  // A negative height marks top-down rows; INT32_MIN has no positive twin.
  if (width <= 0 || width > kMaxSide) return false;
  if (storedHeight == 0 || storedHeight < -kMaxSide || storedHeight > kMaxSide) return false;
  const bool topDown = storedHeight < 0;
  const int32_t height = topDown ? -storedHeight : storedHeight;

  // The colour table follows the info header: 4 bytes (blue, green, red,
  // unused) per entry; a count of 0 means the full 2^bits entries.
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    const uint32_t maxColors = 1u << bits;
    const uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
    if (count > maxColors) return false;
    const uint64_t tableStart = kFileHeaderSize + uint64_t{infoSize};
    if (tableStart + uint64_t{count} * 4 > size) return false;
    palette.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = data + tableStart + i * 4;
      palette.push_back(Rgba(e[2], e[1], e[0]));
    }
  }

  // Each stored row is padded to a multiple of 4 bytes; the last row's
  // padding may be missing from the file.
  const uint64_t rowBytes = (uint64_t{static_cast<uint32_t>(width)} * bits + 7) / 8;
  const uint64_t stride = (rowBytes + 3) / 4 * 4;
  if (pixelOffset > size) return false;
  if (pixelOffset + stride * static_cast<uint64_t>(height - 1) + rowBytes > size) return false;

  Picture result;
  result.width = width;
  result.height = height;
  result.rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    const int32_t storedRow = topDown ? y : height - 1 - y;
    const uint8_t* row = data + pixelOffset + stride * static_cast<uint64_t>(storedRow);
    uint32_t* dest = result.rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      if (bits == 24) {
        const uint8_t* p = row + static_cast<size_t>(x) * 3;
        dest[x] = Rgba(p[2], p[1], p[0]);
        continue;
      }
      // 4-bit rows hold the left pixel of each pair in the high nibble.
      const unsigned index =
          bits == 8 ? row[x] : (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
      if (index >= palette.size()) return false;
      dest[x] = palette[index];
    }
  }

  if (transparentBottomLeft) {
    const uint32_t key = result.At(0, height - 1);
    for (uint32_t& p : result.rgba) {
      if (p == key) p &= 0xFFFFFF00u;
    }
  }
  out = std::move(result);
  return true;
}

bool LoadBmpFile(const std::string& path, Picture& out, bool transparentBottomLeft) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  if (in.bad()) return false;
  return DecodeBmp(bytes.data(), bytes.size(), out, transparentBottomLeft);
}

std::vector<uint8_t> RgbaBytes(const Picture& picture) {
  std::vector<uint8_t> bytes;
  bytes.reserve(picture.rgba.size() * 4);
  for (uint32_t p : picture.rgba) {
    bytes.push_back(Red(p));
    bytes.push_back(Green(p));
    bytes.push_back(Blue(p));
    bytes.push_back(Alpha(p));
  }
  return bytes;
}

}  // namespace picture
