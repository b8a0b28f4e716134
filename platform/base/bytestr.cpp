#include "bytestr.h"

namespace bytestr {

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return std::string(s.substr(b, e - b));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (IsLowerAscii(static_cast<unsigned char>(c))) c = static_cast<char>(c - 0x20);
  return r;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseInt32(std::string_view s, int32_t& out) {
  if (s.empty()) return false;
  if (s[0] == '$') {
    if (s.size() == 1) return false;
    uint64_t v = 0;
    for (char c : s.substr(1)) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return false;
    }
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  bool negative = false;
  size_t i = 0;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + static_cast<uint64_t>(s[i] - '0');
    if (v > limit) return false;
  }
  out = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return true;
}

std::string IntToStr(int64_t n) { return std::to_string(n); }

}  // namespace bytestr
