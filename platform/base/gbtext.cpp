#include "gbtext.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace gbtext {
namespace {

// Converts with iconv; an input sequence it refuses becomes '?', and the
// input moves on by `skip(rest)` bytes.
std::string Convert(const char* to, const char* from, const std::string& in, size_t (*skip)(const char*, size_t)) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv cannot convert ") + from);
  std::string out;
  char buffer[256];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      const size_t n = skip(src, left);  // EILSEQ, or EINVAL for a cut-off last character
      out.push_back('?');
      src += n;
      left -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

size_t SkipOne(const char*, size_t) { return 1; }

// A malformed or unmappable UTF-8 sequence: skip the lead byte and its
// continuation bytes.
size_t SkipUtf8(const char* p, size_t left) {
  size_t n = 1;
  while (n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

std::string ToUtf8(const std::string& gb) { return Convert("UTF-8", "CP936", gb, SkipOne); }

std::string FromUtf8(const std::string& utf8) { return Convert("CP936", "UTF-8", utf8, SkipUtf8); }

std::vector<size_t> CharStarts(const std::string& gb) {
  std::vector<size_t> starts;
  size_t i = 0;
  while (i < gb.size()) {
    starts.push_back(i);
    const auto b = static_cast<unsigned char>(gb[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < gb.size()) ? 2 : 1;
  }
  starts.push_back(gb.size());
  return starts;
}

size_t Utf8Offset(const std::string& gb, size_t gbIndex) {
  if (gbIndex > gb.size()) gbIndex = gb.size();
  return ToUtf8(gb.substr(0, gbIndex)).size();
}

}  // namespace gbtext
