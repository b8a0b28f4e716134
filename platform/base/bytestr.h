// Byte strings as the installer defines them.
//
// Every text is a std::string of raw bytes (ASCII and GB2312 / code page 936).
// Nothing is decoded: the helpers below work byte by byte, so a double-byte
// character is two ordinary bytes to them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bytestr {

// Removes every byte of value 0x20 or less (blank, tab, CR, LF, NUL and the
// other control bytes) from both ends.
std::string Trim(std::string_view s);

// Lowers every byte 0x61..0x7A by 0x20, wherever it stands -- also when it is
// the second byte of a double-byte character (code page 936 has such
// characters). No other byte changes.
std::string UpperCase(std::string_view s);

// True when the byte is 0x61..0x7A.
constexpr bool IsLowerAscii(unsigned char c) { return c >= 0x61 && c <= 0x7A; }

// Parses a whole number the way the setup script's [SPACE] section accepts it:
// an optional '+' or '-' and decimal digits (-2147483648..2147483647), or '$'
// and hexadecimal digits up to $FFFFFFFF (values from $80000000 up wrap to
// negative). Nothing else may stand in the text. Returns false when the text
// is not such a number.
bool ParseInt32(std::string_view s, int32_t& out);

// Decimal digits of a number, without leading zeros.
std::string IntToStr(int64_t n);

}  // namespace bytestr
