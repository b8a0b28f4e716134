#include "resources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "picture.h"

// Every picture is built into the program byte for byte, and decodes.
TEST(Resources, PicturesAreBuiltIn) {
  for (const char* name : {"gradient", "ok", "close", "icon", "drive_removable", "drive_fixed", "drive_network",
                           "drive_cdrom", "drive_ramdisk"}) {
    std::ifstream in(std::string(PICTURES_DIR) + "/" + name + ".bmp", std::ios::binary);
    std::ostringstream file;
    file << in.rdbuf();
    const std::string_view bytes = resources::Picture(name);
    EXPECT_EQ(bytes, file.str()) << name;
    picture::Picture p;
    EXPECT_TRUE(picture::DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), p, true)) << name;
  }
  EXPECT_TRUE(resources::Picture("nothing").empty());
}

// The layouts are stored in GB2312: the install dialog's caption "安装窗口".
TEST(Resources, LayoutsAreGb2312) {
  for (const resources::Entry* e = resources::kEntries; !e->name.empty(); ++e)
    if (e->name == "F_azh1") {
      EXPECT_NE(e->bytes.find("'\xB0\xB2\xD7\xB0\xB4\xB0\xBF\xDA'"), std::string_view::npos);
      return;
    }
  FAIL() << "no layout F_azh1";
}
