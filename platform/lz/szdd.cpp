#include "szdd.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lz {

namespace {

constexpr uint8_t kMagic[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
constexpr uint8_t kModeLzss = 'A';

constexpr unsigned kWindowMask = kWindowSize - 1;
constexpr size_t kMaxMatch = 0x0F + 3;
// A flag byte and its 8 items: the most input one group can take and the
// most output it can produce.
constexpr size_t kMaxGroupIn = 1 + 8 * 2;
constexpr size_t kMaxGroupOut = 8 * kMaxMatch;

}  // namespace

SzddKind ClassifyHeader(std::string_view head) {
  if (head.size() < kSzddHeaderSize || std::memcmp(head.data(), kMagic, sizeof kMagic) != 0) return SzddKind::Plain;
  return static_cast<uint8_t>(head[8]) == kModeLzss ? SzddKind::Szdd : SzddKind::UnknownMode;
}

// The window is not kept as a ring: output goes to a linear buffer preceded
// by the last 4096 bytes produced (4096 blanks at the start). Window position
// p, seen from write position w, holds the byte produced d bytes ago with
// d = ((w - p - 1) mod 4096) + 1, in 1..4096 (p == w is the oldest byte, about
// to be overwritten), so a reference copies from `out - d`, which is always
// inside the buffer.
ExpandResult ExpandLzss(const ReadFn& read, const WriteFn& write, size_t inputBuffer, size_t outputBuffer) {
  inputBuffer = std::max(inputBuffer, 2 * kMaxGroupIn);
  outputBuffer = std::max(outputBuffer, 2 * kMaxGroupOut);
  std::vector<uint8_t> in(inputBuffer);
  // History, output space, and slack for the fixed-size copies below.
  std::vector<uint8_t> out(kWindowSize + outputBuffer + kMaxMatch);
  std::memset(out.data(), kBlank, kWindowSize);

  ExpandResult result;
  size_t inPos = 0, inEnd = 0;
  bool inputDone = false;
  uint8_t* const outBegin = out.data() + kWindowSize;
  uint8_t* const outLimit = outBegin + outputBuffer - kMaxGroupOut;  // room for one more group below it
  uint8_t* o = outBegin;
  unsigned w = kFirstWritePos;

  auto flush = [&]() -> bool {
    size_t n = static_cast<size_t>(o - outBegin);
    if (n == 0) return true;
    if (!write(outBegin, n)) return false;
    result.written += n;
    std::memmove(out.data(), o - kWindowSize, kWindowSize);
    o = outBegin;
    return true;
  };
  auto copyRef = [&](unsigned b1, unsigned b2) {
    unsigned p = b1 | (b2 & 0xF0) << 4;
    size_t len = (b2 & 0x0F) + 3;
    size_t d = ((w - p - 1) & kWindowMask) + 1;
    const uint8_t* src = o - d;
    if (d >= kMaxMatch) {
      std::memcpy(o, src, kMaxMatch);  // may write past len into the slack; later bytes overwrite it
    } else {
      for (size_t i = 0; i < len; ++i) o[i] = src[i];
    }
    o += len;
    w = (w + static_cast<unsigned>(len)) & kWindowMask;
  };

  for (;;) {
    if (inEnd - inPos < kMaxGroupIn && !inputDone) {
      std::memmove(in.data(), in.data() + inPos, inEnd - inPos);
      inEnd -= inPos;
      inPos = 0;
      while (inEnd < in.size()) {
        ptrdiff_t n = read(in.data() + inEnd, in.size() - inEnd);
        if (n < 0) {
          result.status = ExpandStatus::ReadError;
          return result;
        }
        if (n == 0) {
          inputDone = true;
          break;
        }
        inEnd += static_cast<size_t>(n);
      }
    }
    if (o > outLimit && !flush()) {
      result.status = ExpandStatus::WriteError;
      return result;
    }
    const uint8_t* const ip = in.data();
    if (inEnd - inPos >= kMaxGroupIn) {
      // A whole group is in the buffer: no bounds checks per item.
      unsigned flags = ip[inPos++];
      for (int k = 0; k < 8; ++k, flags >>= 1) {
        if (flags & 1) {
          *o++ = ip[inPos++];
          w = (w + 1) & kWindowMask;
        } else {
          copyRef(ip[inPos], ip[inPos + 1]);
          inPos += 2;
        }
      }
      continue;
    }
    // The end of the input: items are taken while they are complete.
    if (inPos == inEnd) break;
    unsigned flags = ip[inPos++];
    for (int k = 0; k < 8 && inPos < inEnd; ++k, flags >>= 1) {
      if (flags & 1) {
        *o++ = ip[inPos++];
        w = (w + 1) & kWindowMask;
      } else {
        if (inEnd - inPos < 2) {
          inPos = inEnd;  // a reference cut after its first byte: dropped
          break;
        }
        copyRef(ip[inPos], ip[inPos + 1]);
        inPos += 2;
      }
    }
  }
  if (!flush()) result.status = ExpandStatus::WriteError;
  return result;
}

std::string ExpandLzss(std::string_view data) {
  std::string out;
  size_t pos = 0;
  ExpandLzss(
      [&](uint8_t* buffer, size_t size) {
        size_t n = std::min(size, data.size() - pos);
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return static_cast<ptrdiff_t>(n);
      },
      [&](const uint8_t* bytes, size_t size) {
        out.append(reinterpret_cast<const char*>(bytes), size);
        return true;
      });
  return out;
}

}  // namespace lz
