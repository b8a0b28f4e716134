// Text conversion between the program's GB2312 (code page 936) byte strings
// and UTF-8: what the display draws, the keyboard delivers and the trace
// writes. The one place where the system's texts change encoding.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace gbtext {

// GB2312/GBK bytes as UTF-8. A byte that does not start a valid character
// becomes '?' and conversion goes on with the next byte.
std::string ToUtf8(const std::string& gb);
// UTF-8 text as code page 936 bytes. A character the code page lacks (or a
// malformed UTF-8 sequence) becomes '?'.
std::string FromUtf8(const std::string& utf8);
// The offsets at which characters begin in GB bytes, plus the length at the
// end: a byte from 0x81 to 0xFE followed by another byte is one double-byte
// character, every other byte one character.
std::vector<size_t> CharStarts(const std::string& gb);
// Where the text's first `gbIndex` bytes end in its UTF-8 form.
size_t Utf8Offset(const std::string& gb, size_t gbIndex);

}  // namespace gbtext
