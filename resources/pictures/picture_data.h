// The installer's pictures, built into the program so that none can go
// missing at run time. Decode them with picture::DecodeBmp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace picture_data {

// The bytes of one of the committed picture files in resources/pictures, by
// file name ("ok.bmp", "drive_cdrom.bmp", "icon.ico", ...); an empty span when
// there is no such picture.
std::span<const uint8_t> Find(std::string_view fileName);

}  // namespace picture_data
