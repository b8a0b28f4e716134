// Test support for the SZDD decoder: an independent, deliberately plain
// decoder to compare against, and an encoder that makes SZDD data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lz::testing {

// The 14-byte header: magic, `mode`, missing character, the length field.
std::string SzddHeader(uint32_t length, char mode = 'A', char missing = '\0');

// Expands LZSS data with a literal 4096-byte ring window, one byte at a time:
// slow, but written straight from the format's description.
std::string ReferenceExpand(std::string_view data);

// Compresses `plain` to LZSS data (greedy matching, references only to bytes
// of `plain` itself, never to the initial blanks). Expanding the result gives
// `plain` back.
std::string Compress(std::string_view plain);

// A whole SZDD file for `plain`: header plus Compress(plain).
std::string SzddFile(std::string_view plain);

// The bytes of a golden fixture in testdata/; raises when it is missing.
std::string ReadTestdata(const std::string& name);

}  // namespace lz::testing
