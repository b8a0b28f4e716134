#include "picture_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream in(std::string(PICTURES_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PictureData, HoldsEveryCommittedPictureByteForByte) {
  for (const char* name :
       {"gradient.bmp", "ok.bmp", "close.bmp", "drive_removable.bmp", "drive_fixed.bmp",
        "drive_network.bmp", "drive_cdrom.bmp", "drive_ramdisk.bmp", "icon.bmp", "icon.ico"}) {
    SCOPED_TRACE(name);
    const std::span<const uint8_t> bytes = picture_data::Find(name);
    const std::vector<uint8_t> file = ReadFile(name);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), file);
  }
}

TEST(PictureData, UnknownNamesFindNothing) {
  for (const char* name : {"", "ok", "OK.BMP", "ok.bmp ", "ok.txt", "missing.bmp"}) {
    EXPECT_TRUE(picture_data::Find(name).empty()) << '"' << name << '"';
  }
}

}  // namespace
