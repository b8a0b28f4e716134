#include "szdd_testing.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "szdd.h"

namespace lz::testing {

std::string SzddHeader(uint32_t length, char mode, char missing) {
  std::string h = "\x53\x5A\x44\x44\x88\xF0\x27\x33";
  h += mode;
  h += missing;
  for (int i = 0; i < 4; ++i) h += static_cast<char>(length >> (8 * i) & 0xFF);
  return h;
}

std::string ReferenceExpand(std::string_view data) {
  uint8_t window[4096];
  for (uint8_t& b : window) b = ' ';
  unsigned w = 4096 - 16;
  std::string out;
  auto put = [&](uint8_t b) {
    out += static_cast<char>(b);
    window[w] = b;
    w = (w + 1) % 4096;
  };
  size_t i = 0;
  while (i < data.size()) {
    unsigned flags = static_cast<uint8_t>(data[i++]);
    for (int bit = 0; bit < 8; ++bit) {
      if (flags >> bit & 1) {
        if (i + 1 > data.size()) return out;
        put(static_cast<uint8_t>(data[i++]));
      } else {
        if (i + 2 > data.size()) return out;
        unsigned b1 = static_cast<uint8_t>(data[i]), b2 = static_cast<uint8_t>(data[i + 1]);
        i += 2;
        unsigned pos = b1 | (b2 & 0xF0) << 4;
        unsigned len = (b2 & 0x0F) + 3;
        for (unsigned k = 0; k < len; ++k) put(window[(pos + k) % 4096]);
      }
    }
  }
  return out;
}

std::string Compress(std::string_view plain) {
  constexpr size_t kMin = 3, kMax = 18, kDist = 4096;
  constexpr unsigned kHashBits = 14;
  std::vector<int64_t> head(size_t{1} << kHashBits, -1);
  auto hash = [&](size_t i) {
    uint32_t v = static_cast<uint8_t>(plain[i]) | static_cast<uint8_t>(plain[i + 1]) << 8 |
                 static_cast<uint32_t>(static_cast<uint8_t>(plain[i + 2])) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
  };
  std::string out;
  size_t flagAt = 0;
  int items = 8;
  auto item = [&](bool literal) {
    if (items == 8) {
      flagAt = out.size();
      out += '\0';
      items = 0;
    }
    if (literal) out[flagAt] = static_cast<char>(out[flagAt] | 1 << items);
    ++items;
  };
  size_t i = 0;
  while (i < plain.size()) {
    size_t bestLen = 0, bestSrc = 0;
    if (i + kMin <= plain.size()) {
      auto h = hash(i);
      int64_t cand = head[h];
      head[h] = static_cast<int64_t>(i);
      if (cand >= 0 && i - static_cast<size_t>(cand) <= kDist) {
        size_t c = static_cast<size_t>(cand), len = 0;
        while (len < kMax && i + len < plain.size() && plain[c + len] == plain[i + len]) ++len;
        if (len >= kMin) bestLen = len, bestSrc = c;
      }
    }
    if (bestLen == 0) {
      item(true);
      out += plain[i++];
      continue;
    }
    item(false);
    unsigned pos = (kFirstWritePos + static_cast<unsigned>(bestSrc)) % 4096;
    out += static_cast<char>(pos & 0xFF);
    out += static_cast<char>((pos >> 4 & 0xF0) | (bestLen - kMin));
    for (size_t k = 1; k < bestLen && i + k + kMin <= plain.size(); ++k) head[hash(i + k)] = static_cast<int64_t>(i + k);
    i += bestLen;
  }
  return out;
}

std::string SzddFile(std::string_view plain) {
  return SzddHeader(static_cast<uint32_t>(plain.size())) + Compress(plain);
}

std::string ReadTestdata(const std::string& name) {
  std::ifstream in(std::string(LZ_TESTDATA) + "/" + name, std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace lz::testing
