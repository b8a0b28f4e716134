// The SZDD format of the file compression utility (COMPRESS.EXE), and a
// streaming decoder for it that needs a fixed, small amount of memory.
//
// A file is SZDD when its first 14 bytes are the header
//   53 5A 44 44 88 F0 27 33   magic
//   'A'                       compression mode (only 'A', LZSS, is known)
//   c                         the missing last character of the file name
//   n n n n                   expanded length, 32-bit little-endian
// followed by LZSS data. The length field is informative only: the data ends
// where the input ends, and nothing here uses the field.
//
// LZSS data: a 4096-byte window, filled with blanks (0x20) at the start, whose
// first write position is 4096-16 = 0xFF0. A flag byte governs the next 8
// items, low bit first: a 1 bit is a literal byte, a 0 bit a two-byte
// reference b1 b2 to the absolute window position b1 | (b2 & 0xF0) << 4 with
// length (b2 & 0x0F) + 3, copied byte by byte (a copy may read bytes it has
// just written). Every output byte is also written into the window at the
// write position, which then advances modulo 4096.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lz {

constexpr size_t kSzddHeaderSize = 14;
constexpr size_t kWindowSize = 4096;
constexpr unsigned kFirstWritePos = kWindowSize - 16;
constexpr uint8_t kBlank = 0x20;

enum class SzddKind {
  Plain,        // not SZDD (including anything shorter than the header)
  Szdd,         // SZDD, mode 'A'
  UnknownMode,  // SZDD magic with a mode other than 'A'
};

// Classifies a file from its first bytes; `head` may be shorter than the
// header (then the file is Plain).
SzddKind ClassifyHeader(std::string_view head);

// Reads up to `size` bytes into `buffer`: returns the count read, 0 at the
// end of the input, or a negative value on a read error.
using ReadFn = std::function<ptrdiff_t(uint8_t* buffer, size_t size)>;
// Writes all `size` bytes; returns false on a write error.
using WriteFn = std::function<bool(const uint8_t* data, size_t size)>;

enum class ExpandStatus { Ok, ReadError, WriteError };

struct ExpandResult {
  ExpandStatus status = ExpandStatus::Ok;
  uint64_t written = 0;  // bytes handed to `write` successfully
};

constexpr size_t kDefaultInputBuffer = 64 * 1024;
constexpr size_t kDefaultOutputBuffer = 256 * 1024;

// Expands LZSS data (what follows the header) from `read` to `write`.
//
// The data ends when the input runs out. When it runs out inside an item (a
// reference whose second byte is missing), the output ends cleanly after the
// last complete item, as the Windows library does; a flag byte with no items
// after it adds nothing. Any input is valid: every byte sequence expands to
// something, the window is never read or written out of bounds, and the
// output is at most 9 bytes per input byte.
//
// Memory is bounded by the buffer sizes (plus the 4096-byte window), whatever
// the length of the input; buffer sizes below a small minimum are raised to
// it. Throws std::bad_alloc when the buffers cannot be allocated.
ExpandResult ExpandLzss(const ReadFn& read, const WriteFn& write, size_t inputBuffer = kDefaultInputBuffer,
                        size_t outputBuffer = kDefaultOutputBuffer);

// In-memory convenience: expands LZSS data (without the header).
std::string ExpandLzss(std::string_view data);

}  // namespace lz
