// libFuzzer target for the SZDD decoder. The input is a whole file: when it
// is SZDD (mode 'A') its data is expanded, handed to the decoder in pieces of
// varying sizes and with small buffers, and the result must equal the plain
// ring-window decoder's. Memory errors are caught by the sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "szdd.h"
#include "szdd_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(bytes), size);
  // Inputs that are not SZDD are still expanded as raw data after a made-up
  // header, so the fuzzer need not find the magic first.
  std::string_view data = lz::ClassifyHeader(file) == lz::SzddKind::Szdd ? file.substr(lz::kSzddHeaderSize) : file;

  // Piece sizes and buffer sizes from a small generator seeded by the input.
  uint32_t seed = static_cast<uint32_t>(size) * 2654435761u;
  for (size_t i = 0; i < std::min<size_t>(size, 16); ++i) seed = seed * 31 + bytes[i];
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  size_t inBuf = next() % 200, outBuf = next() % 600;

  std::string out;
  size_t pos = 0;
  lz::ExpandResult r = lz::ExpandLzss(
      [&](uint8_t* buffer, size_t room) {
        size_t n = std::min({room, data.size() - pos, size_t{1} + next() % 64});
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return static_cast<ptrdiff_t>(n);
      },
      [&](const uint8_t* chunk, size_t n) {
        out.append(reinterpret_cast<const char*>(chunk), n);
        return true;
      },
      inBuf, outBuf);

  if (r.status != lz::ExpandStatus::Ok || r.written != out.size()) std::abort();
  if (out.size() > 9 * data.size()) std::abort();
  if (out != lz::testing::ReferenceExpand(data)) std::abort();
  return 0;
}
